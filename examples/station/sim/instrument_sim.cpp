// SPDX-License-Identifier: MIT
// atsui_instrument_sim: a LAN instrument (multimeter with channels) speaking
// a SCPI subset on a raw TCP socket, for the station's tests and demo.
//
// Its options are in kHelp below (atsui_instrument_sim --help), which is
// also the source of its manual page.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string upper(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// SCPI mnemonics: "MEASure" matches MEAS and MEASURE, any case.
bool node_matches(const std::string& node, const std::string& pattern) {
    std::string short_form;
    for (char c : pattern)
        if (std::isupper(static_cast<unsigned char>(c)) ||
            std::isdigit(static_cast<unsigned char>(c)) || c == '*' || c == '?')
            short_form += c;
    const std::string n = upper(node);
    return n == short_form || n == upper(pattern);
}

bool header_matches(const std::string& header, const std::string& pattern) {
    std::vector<std::string> a, b;
    auto split = [](const std::string& s, std::vector<std::string>& out) {
        std::size_t start = s.front() == ':' ? 1 : 0;
        for (;;) {
            const auto end = s.find(':', start);
            out.push_back(s.substr(start, end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    };
    if (header.empty()) return false;
    split(header, a);
    split(pattern, b);
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!node_matches(a[i], b[i])) return false;
    return true;
}

enum class Fault { none, drop, hang, garbage, error };

struct Settings {
    std::uint64_t seed = 1;
    std::map<std::string, int> latency_ms;  // upper-case header as sent -> delay
    Fault fault = Fault::none;
    int fault_count = -1;  // -1: until cleared
};

bool parse_fault(const std::string& text, Settings& settings) {
    const std::string request = upper(trim(text));
    const auto comma = request.find(',');
    const std::string kind = request.substr(0, comma);
    int count = -1;
    if (comma != std::string::npos) {
        count = std::atoi(request.c_str() + comma + 1);
        if (count < 1) return false;
    }
    static const std::map<std::string, Fault> kinds{
        {"NONE", Fault::none},       {"DROP", Fault::drop},    {"HANG", Fault::hang},
        {"GARBAGE", Fault::garbage}, {"GARB", Fault::garbage}, {"ERROR", Fault::error},
        {"ERR", Fault::error}};
    const auto found = kinds.find(kind);
    if (found == kinds.end()) return false;
    settings.fault = found->second;
    settings.fault_count = count;
    return true;
}

bool parse_latency(const std::string& text, char separator, Settings& settings) {
    const auto at = text.rfind(separator);
    if (at == std::string::npos) return false;
    const std::string header = upper(trim(text.substr(0, at)));
    char* end = nullptr;
    const long ms = std::strtol(text.c_str() + at + 1, &end, 10);
    if (header.empty() || ms < 0 || ms > 600000 || *end != '\0') return false;
    settings.latency_ms[header] = int(ms);
    return true;
}

// Channels of "(@1,3:5)"; channel 1 when there is no list.
std::vector<int> channels(const std::string& parameters) {
    std::vector<int> list;
    const auto open = parameters.find("(@");
    if (open == std::string::npos) return {1};
    const auto close = parameters.find(')', open);
    if (close == std::string::npos) return {};
    std::string body = parameters.substr(open + 2, close - open - 2);
    std::size_t start = 0;
    for (;;) {
        const auto end = body.find(',', start);
        const std::string item = trim(body.substr(start, end - start));
        const auto colon = item.find(':');
        const int first = std::atoi(item.c_str());
        const int last = colon == std::string::npos ? first : std::atoi(item.c_str() + colon + 1);
        if (first < 1 || last < first || last > 64) return {};
        for (int c = first; c <= last; ++c) list.push_back(c);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return list;
}

struct Connection {
    int fd = -1;
    int number = 0;
    std::string input;
    std::deque<std::pair<Clock::time_point, std::string>> replies;  // due, text
    Clock::time_point busy_until{};
    std::deque<std::string> errors;
    std::mt19937_64 engine;
    bool hung = false;
    bool closing = false;
};

class Simulator {
public:
    explicit Simulator(Settings settings) : settings_(std::move(settings)) {}

    void handle(Connection& c, const std::string& line) {
        std::string text = trim(line);
        if (text.empty()) return;
        const auto space = text.find_first_of(" \t");
        const std::string header = text.substr(0, space);
        const std::string parameters = space == std::string::npos ? "" : trim(text.substr(space));

        // Control commands are never delayed nor faulted: tests steer with them.
        if (header_matches(header, "SIMulate:FAULt")) {
            if (!parse_fault(parameters, settings_)) push_error(c, -224, "Illegal parameter value");
            return;
        }
        if (header_matches(header, "SIMulate:LATency")) {
            if (!parse_latency(parameters, ',', settings_))
                push_error(c, -224, "Illegal parameter value");
            return;
        }

        const bool measurement = header_matches(header, "MEASure:VOLTage:DC?") ||
                                 header_matches(header, "MEASure:CURRent:DC?") ||
                                 header_matches(header, "MEASure:TEMPerature?");
        if (measurement && settings_.fault != Fault::none) {
            const Fault fault = settings_.fault;
            if (settings_.fault_count > 0 && --settings_.fault_count == 0)
                settings_.fault = Fault::none;
            switch (fault) {
                case Fault::drop: c.closing = true; return;
                case Fault::hang: c.hung = true; return;
                case Fault::garbage: reply(c, header, "\x01\xfe#gArB\x7f\x02"); return;
                case Fault::error: push_error(c, -330, "Self-test failed"); break;
                case Fault::none: break;
            }
        }

        if (header == "*IDN?") {
            reply(c, header, "ATSUI,Instrument Simulator,SIM" + std::to_string(c.number) + ",1.0");
        } else if (header == "*RST" || header == "*CLS") {
            c.errors.clear();
        } else if (header == "*OPC?") {
            reply(c, header, "1");
        } else if (header_matches(header, "SYSTem:ERRor?") ||
                   header_matches(header, "SYSTem:ERRor:NEXT?")) {
            if (c.errors.empty()) {
                reply(c, header, "+0,\"No error\"");
            } else {
                reply(c, header, c.errors.front());
                c.errors.pop_front();
            }
        } else if (measurement) {
            const std::vector<int> list = channels(parameters);
            if (list.empty()) {
                push_error(c, -224, "Illegal parameter value");
                return;
            }
            std::string answer;
            for (int channel : list) {
                if (!answer.empty()) answer += ',';
                answer += reading(c, header, channel);
            }
            reply(c, header, answer);
        } else {
            push_error(c, -113, "Undefined header");
        }
    }

    Settings& settings() { return settings_; }

private:
    void push_error(Connection& c, int code, const std::string& text) {
        if (c.errors.size() < 20) c.errors.push_back(std::to_string(code) + ",\"" + text + "\"");
    }

    int latency(const std::string& header) const {
        const auto found = settings_.latency_ms.find(upper(header));
        if (found != settings_.latency_ms.end()) return found->second;
        const auto all = settings_.latency_ms.find("*");
        return all != settings_.latency_ms.end() ? all->second : 0;
    }

    void reply(Connection& c, const std::string& header, const std::string& text) {
        const auto now = Clock::now();
        const auto start = std::max(now, c.busy_until);
        c.busy_until = start + std::chrono::milliseconds(latency(header));
        c.replies.emplace_back(c.busy_until, text + "\n");
    }

    // Near a nominal value per function and channel, seeded per connection.
    std::string reading(Connection& c, const std::string& header, int channel) {
        double nominal = 5.0;
        double spread = 0.02;
        if (header_matches(header, "MEASure:VOLTage:DC?")) {
            static const double volts[] = {5.0, 12.0, 3.3, 1.8};
            nominal = volts[(channel - 1) % 4];
        } else if (header_matches(header, "MEASure:CURRent:DC?")) {
            nominal = 0.25 * channel;
        } else {
            nominal = 25.0 + channel;
            spread = 0.04;
        }
        const double u = double(c.engine() >> 11) * 0x1.0p-53;
        const double v = double(c.engine() >> 11) * 0x1.0p-53;
        char text[64];
        std::snprintf(text, sizeof text, "%+.6E", nominal * (1 + spread * (u + v - 1)));
        return text;
    }

    Settings settings_;
};

volatile sig_atomic_t stop_requested = 0;
void on_signal(int) { stop_requested = 1; }

constexpr const char* kHelp =
    "Usage: atsui_instrument_sim [OPTION]...\n"
    "A LAN instrument for the reference station's tests and demo: a multimeter with\n"
    "channels that speaks a SCPI subset on a raw TCP socket. Once it listens it\n"
    "prints \"port N\" on stdout; it runs until SIGTERM or SIGINT.\n"
    "\n"
    "Options:\n"
    "  --port N              TCP port to listen on; 0, the default, takes a free one\n"
    "  --bind ADDR           IPv4 address to listen on (default 127.0.0.1)\n"
    "  --seed N              seed of the simulated readings (default 1)\n"
    "  --latency HEADER=MS   answer commands with this header MS milliseconds late;\n"
    "                        may be given more than once\n"
    "  --fault KIND[,COUNT]  fail measurement commands: drop (close the connection),\n"
    "                        hang (never answer again), garbage (answer bytes that\n"
    "                        are no reading) or error (queue an SCPI error); COUNT\n"
    "                        times, or until cleared\n"
    "  --help                show this help and exit\n"
    "  --version             show the version and exit\n"
    "\n"
    "At run time \"SIM:FAULT KIND[,COUNT]\" and \"SIM:LAT HEADER,MS\" do what\n"
    "--fault and --latency do; \"SIM:FAULT NONE\" clears the fault.\n";

// A refused command line: what and why on stderr, exit status 2.
int refuse(const std::string& what) {
    std::fprintf(stderr, "atsui_instrument_sim: %s\nTry --help.\n", what.c_str());
    return 2;
}

// A whole decimal number within [low, high], nothing else.
bool read_number(const std::string& text, unsigned long long low, unsigned long long high,
                 unsigned long long& number) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    errno = 0;
    char* end = nullptr;
    number = std::strtoull(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && number >= low && number <= high;
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    int port = 0;
    std::string bind_address = "127.0.0.1";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("atsui_instrument_sim %s\n", STATION_VERSION);
            return 0;
        }
        const auto eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        if (name != "--port" && name != "--bind" && name != "--seed" && name != "--latency" &&
            name != "--fault")
            return refuse("unknown option " + arg);
        std::string value;
        if (eq != std::string::npos)
            value = arg.substr(eq + 1);
        else if (i + 1 < argc)
            value = argv[++i];
        else
            return refuse(name + " needs a value");
        unsigned long long number = 0;
        if (name == "--port") {
            if (!read_number(value, 0, 65535, number))
                return refuse("--port must be a number from 0 to 65535, not \"" + value + "\"");
            port = int(number);
        } else if (name == "--bind") {
            bind_address = value;
        } else if (name == "--seed") {
            if (!read_number(value, 0, ~0ULL, number))
                return refuse("--seed must be a whole number, not \"" + value + "\"");
            settings.seed = number;
        } else if (name == "--latency") {
            if (!parse_latency(value, value.find('=') != std::string::npos ? '=' : ',', settings))
                return refuse("--latency takes HEADER=MS with MS from 0 to 600000, not \"" + value +
                              "\"");
        } else if (!parse_fault(value, settings)) {
            return refuse(
                "--fault takes drop, hang, garbage, error or none, then ,COUNT of "
                "at least 1, not \"" +
                value + "\"");
        }
    }

    signal(SIGPIPE, SIG_IGN);
    signal(SIGTERM, on_signal);
    signal(SIGINT, on_signal);

    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    if (inet_pton(AF_INET, bind_address.c_str(), &address.sin_addr) != 1)
        return refuse("--bind takes an IPv4 address, not \"" + bind_address + "\"");
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0) {
        std::fprintf(stderr, "atsui_instrument_sim: cannot listen on %s:%d: %s\n",
                     bind_address.c_str(), port, std::strerror(errno));
        return 1;
    }
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::printf("port %d\n", ntohs(address.sin_port));
    std::fflush(stdout);

    Simulator simulator(settings);
    std::vector<std::unique_ptr<Connection>> connections;
    int accepted = 0;
    while (!stop_requested) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        auto next_due = Clock::now() + std::chrono::seconds(1);
        for (const auto& c : connections) {
            fds.push_back({c->fd, POLLIN, 0});
            if (!c->replies.empty()) next_due = std::min(next_due, c->replies.front().first);
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(next_due - Clock::now()).count();
        if (poll(fds.data(), fds.size(), int(std::clamp<long long>(wait + 1, 0, 1000))) < 0 &&
            errno != EINTR)
            break;

        if (fds[0].revents & POLLIN) {
            const int fd = accept(listener, nullptr, nullptr);
            if (fd >= 0) {
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
                auto c = std::make_unique<Connection>();
                c->fd = fd;
                c->number = ++accepted;
                c->engine.seed(settings.seed * 0x9E3779B97F4A7C15ull + std::uint64_t(accepted));
                connections.push_back(std::move(c));
            }
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            Connection& c = *connections[i - 1];
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            const ssize_t n = read(c.fd, buffer, sizeof buffer);
            if (n <= 0) {
                c.closing = true;
                continue;
            }
            c.input.append(buffer, std::size_t(n));
            std::size_t eol;
            while (!c.closing && (eol = c.input.find('\n')) != std::string::npos) {
                const std::string line = c.input.substr(0, eol);
                c.input.erase(0, eol + 1);
                if (!c.hung) simulator.handle(c, line);
            }
            if (c.input.size() > 65536) c.closing = true;
        }
        const auto now = Clock::now();
        for (const auto& c : connections) {
            while (!c->closing && !c->hung && !c->replies.empty() &&
                   c->replies.front().first <= now) {
                const std::string& text = c->replies.front().second;
                if (send(c->fd, text.data(), text.size(), MSG_NOSIGNAL) < 0) c->closing = true;
                c->replies.pop_front();
            }
        }
        connections.erase(std::remove_if(connections.begin(), connections.end(),
                                         [](const std::unique_ptr<Connection>& c) {
                                             if (c->closing) close(c->fd);
                                             return c->closing;
                                         }),
                          connections.end());
    }
    for (const auto& c : connections) close(c->fd);
    close(listener);
    return 0;
}
