// SPDX-License-Identifier: MIT
#include "logic/instrument.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <lxi.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

#include "logic/text.h"

namespace station {

namespace {

void init_once() {
    static std::once_flag once;
    std::call_once(once, [] {
        lxi_init();
        // liblxi writes with plain send(): an instrument that closed its end
        // would otherwise kill the station with SIGPIPE.
        signal(SIGPIPE, SIG_IGN);
    });
}

bool printable(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u != 0x7f && u < 0x80;
    });
}

std::string shown(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 40)) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f) {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", u);
            out += hex;
        }
    }
    return out;
}

// Sockets of our own that only test whether an instrument can be reached;
// never taken for a session's.
std::mutex probes_mutex;
std::set<int> probes;

// Connected TCP sockets of this process whose far end listens on port.
// Probes are made and closed under the same lock, so none appears or goes
// mid-scan. getpeername alone tells sockets from other files: an fstat of
// descriptors other threads open and close (files, the display) is what
// ThreadSanitizer reports as a race on them.
std::set<int> sockets_to_port(int port) {
    std::lock_guard lock(probes_mutex);
    std::set<int> found;
    DIR* folder = opendir("/proc/self/fd");
    if (!folder) return found;
    const int own = dirfd(folder);
    while (const dirent* entry = readdir(folder)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || end == entry->d_name || fd == own || probes.count(int(fd))) continue;
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        if (getpeername(int(fd), reinterpret_cast<sockaddr*>(&peer), &length) != 0) continue;
        int peer_port = -1;
        if (peer.ss_family == AF_INET)
            peer_port = ntohs(reinterpret_cast<const sockaddr_in&>(peer).sin_port);
        else if (peer.ss_family == AF_INET6)
            peer_port = ntohs(reinterpret_cast<const sockaddr_in6&>(peer).sin6_port);
        if (peer_port == port) found.insert(int(fd));
    }
    closedir(folder);
    return found;
}

// Connects are taken one at a time, so that the socket that appears during
// one is that session's. A connect lasts at most its timeout; waiting for
// the turn honours the stop request. Not a std::timed_mutex: it waits with
// pthread_mutex_clocklock, which GCC 12's ThreadSanitizer does not know, so
// that every connect would be reported as an unlock of an unlocked mutex.
class ConnectTurn {
public:
    explicit ConnectTurn(std::stop_token stop) {
        std::unique_lock lock(mutex_);
        if (!free_.wait(lock, stop, [] { return !taken_; })) throw InstrumentStopped();
        taken_ = true;
    }
    ~ConnectTurn() { release(); }
    ConnectTurn(const ConnectTurn&) = delete;
    ConnectTurn& operator=(const ConnectTurn&) = delete;

    void release() {
        if (!held_) return;
        held_ = false;
        {
            std::lock_guard lock(mutex_);
            taken_ = false;
        }
        free_.notify_one();
    }

private:
    static inline std::mutex mutex_;
    static inline std::condition_variable_any free_;
    static inline bool taken_ = false;
    bool held_ = true;
};

// Connects to the instrument with a socket of our own and hangs up: nothing
// when it can be reached, else why not. Unlike liblxi's connect this waits
// in slices, so a stop ends the wait on a host that never answers, and it
// tells a refused port from a reachable one.
std::optional<std::string> unreachable(const InstrumentAddress& address,
                                       const InstrumentTimeouts& timeouts, std::stop_token stop) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(address.port);
    if (const int error = getaddrinfo(address.host.c_str(), port.c_str(), &hints, &found))
        return std::string("cannot connect: ") + gai_strerror(error);
    std::unique_ptr<addrinfo, void (*)(addrinfo*)> owned(found, freeaddrinfo);
    int fd = -1;
    {
        std::lock_guard lock(probes_mutex);
        fd = socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                    found->ai_protocol);
        if (fd >= 0) probes.insert(fd);
    }
    if (fd < 0) return std::string("cannot connect: ") + std::strerror(errno);
    std::optional<std::string> why;
    if (::connect(fd, found->ai_addr, found->ai_addrlen) != 0 && errno != EINPROGRESS) {
        why = std::string("cannot connect: ") + std::strerror(errno);
    } else {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeouts.connect_ms);
        for (;;) {
            if (stop.stop_requested()) {
                why = "stopped";
                break;
            }
            pollfd ready{fd, POLLOUT, 0};
            if (poll(&ready, 1, timeouts.slice_ms) > 0) {
                int error = 0;
                socklen_t length = sizeof error;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
                if (error != 0) why = std::string("cannot connect: ") + std::strerror(error);
                break;
            }
            if (Clock::now() >= deadline) {
                why = "cannot connect: no answer within " + std::to_string(timeouts.connect_ms) +
                      " ms";
                break;
            }
        }
    }
    {
        std::lock_guard lock(probes_mutex);
        close(fd);
        probes.erase(fd);
    }
    return why;
}

}  // namespace

std::optional<InstrumentAddress> parse_instrument_address(std::string_view text) {
    text = trim(text);
    InstrumentAddress address;
    const auto colon = text.rfind(':');
    address.host = std::string(text.substr(0, colon));
    if (colon != std::string_view::npos) {
        const std::string_view port = text.substr(colon + 1);
        int value = 0;
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (error != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
            return std::nullopt;
        address.port = value;
    }
    if (address.host.empty() || address.host.find_first_of(" \t;,") != std::string::npos)
        return std::nullopt;
    return address;
}

Instrument::Instrument(std::string name, InstrumentAddress address, InstrumentTimeouts timeouts)
    : name_(std::move(name)), address_(std::move(address)), timeouts_(timeouts) {
    init_once();
}

Instrument::~Instrument() { disconnect(); }

void Instrument::fail(const std::string& why) {
    disconnect();  // the stream's state is unknown: start afresh next time
    throw InstrumentError(name_ + " (" + address_.text() + "): " + why);
}

void Instrument::disconnect() {
    if (device_ >= 0) lxi_disconnect(device_);
    device_ = -1;
    socket_ = -1;
}

void Instrument::connect(std::stop_token stop) {
    if (connected()) return;
    // Only an instrument known to answer enters the turn: liblxi's connect
    // cannot be stopped, and one that never answers would hold the others.
    if (const auto why = unreachable(address_, timeouts_, stop)) {
        if (stop.stop_requested()) throw InstrumentStopped();
        fail(*why);
    }
    ConnectTurn turn(stop);
    if (stop.stop_requested()) throw InstrumentStopped();
    const std::set<int> before = sockets_to_port(address_.port);
    device_ = lxi_connect(address_.host.c_str(), address_.port, nullptr, timeouts_.connect_ms, RAW);
    if (device_ < 0) fail("cannot connect");
    // liblxi keeps its socket to itself. Knowing it, a receive waits on the
    // socket rather than in liblxi, which prints "Error: Timeout" for every
    // slice that passes without an answer. Unsure which one: liblxi waits.
    std::set<int> fresh;
    for (int fd : sockets_to_port(address_.port))
        if (!before.count(fd)) fresh.insert(fd);
    if (fresh.size() == 1) socket_ = *fresh.begin();
    turn.release();
    // liblxi reports a refused port as connected: the first answer tells.
    try {
        send("*IDN?", stop);
        identity_ = receive("*IDN?", stop);
        send("*CLS", stop);
        check_errors("*CLS", stop);
    } catch (const InstrumentError&) {
        disconnect();
        throw;
    }
}

void Instrument::send(std::string_view command, std::stop_token stop) {
    if (stop.stop_requested()) throw InstrumentStopped();
    std::string line(command);
    line += '\n';
    if (lxi_send(device_, line.data(), int(line.size()), timeouts_.connect_ms) != int(line.size()))
        fail("cannot send " + std::string(command) + " (connection lost)");
}

std::string Instrument::receive(std::string_view command, std::stop_token stop) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeouts_.reply_ms);
    std::string reply;
    char buffer[4096];
    for (;;) {
        if (stop.stop_requested()) {
            disconnect();  // a late answer must not be read as the next one's
            throw InstrumentStopped();
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            fail("no answer to " + std::string(command) + " within " +
                 std::to_string(timeouts_.reply_ms) + " ms");
        const int slice = int(std::min<long long>(left, timeouts_.slice_ms));
        if (socket_ >= 0) {
            pollfd ready{socket_, POLLIN, 0};
            const int polled = poll(&ready, 1, slice);
            if (polled == 0 || (polled < 0 && errno == EINTR)) continue;
            if (polled < 0) fail("cannot wait for the answer to " + std::string(command));
        }
        const auto asked = Clock::now();
        const int n = lxi_receive(device_, buffer, sizeof buffer, slice);
        if (n > 0) {
            reply.append(buffer, std::size_t(n));
            const auto eol = reply.find('\n');
            if (eol != std::string::npos) {
                if (eol + 1 != reply.size())
                    fail("more than one answer to " + std::string(command));
                reply.erase(eol);
                if (!reply.empty() && reply.back() == '\r') reply.pop_back();
                if (!printable(reply))
                    fail("garbage in the answer to " + std::string(command) + ": \"" +
                         shown(reply) + "\"");
                return reply;
            }
            if (reply.size() > 65536) fail("answer to " + std::string(command) + " too long");
            continue;
        }
        // liblxi answers a slice that ran out and a closed connection alike;
        // only a closed one comes back before the slice is over (or at all,
        // once the socket said it had something).
        if (socket_ >= 0 || Clock::now() - asked < std::chrono::milliseconds(slice) / 2)
            fail("connection closed while waiting for " + std::string(command));
    }
}

void Instrument::check_errors(std::string_view command, std::stop_token stop) {
    send("SYST:ERR?", stop);
    const std::string answer = receive("SYST:ERR?", stop);
    int code = 0;
    const char* begin = answer.data() + (answer.rfind('+', 0) == 0 ? 1 : 0);
    const auto [end, error] = std::from_chars(begin, answer.data() + answer.size(), code);
    if (error != std::errc() || (end != answer.data() + answer.size() && *end != ','))
        fail("SYST:ERR? after " + std::string(command) + " answered \"" + shown(answer) + "\"");
    if (code != 0) {
        // Leave the queue empty for the next command.
        send("*CLS", stop);
        throw InstrumentError(name_ + " (" + address_.text() + "): " + std::string(command) +
                              " failed: " + answer);
    }
}

std::string Instrument::query(std::string_view command, std::stop_token stop) {
    connect(stop);
    send(command, stop);
    std::string answer = receive(command, stop);
    check_errors(command, stop);
    return answer;
}

void Instrument::write(std::string_view command, std::stop_token stop) {
    connect(stop);
    send(command, stop);
    check_errors(command, stop);
}

std::vector<double> Instrument::measure(std::string_view command, std::stop_token stop) {
    const std::string answer = query(command, stop);
    std::vector<double> readings;
    std::size_t start = 0;
    for (;;) {
        const auto end = answer.find(',', start);
        const auto value = parse_number(trim(std::string_view(answer).substr(start, end - start)));
        if (!value)
            fail("answer to " + std::string(command) + " is not a reading: \"" + shown(answer) +
                 "\"");
        readings.push_back(*value);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return readings;
}

}  // namespace station
