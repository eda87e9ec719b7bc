// SPDX-License-Identifier: MIT
#pragma once

// One LAN instrument spoken to in SCPI over a raw TCP socket (port 5025),
// through liblxi. Every command is followed by SYST:ERR?, so an error the
// instrument queues fails the command that caused it.
//
// An Instrument belongs to one thread at a time (liblxi's send and receive
// take no lock). Waits are cut into short slices so that a stop request is
// seen within one slice even while the instrument never answers; liblxi
// cannot wake a receive from another thread safely (its disconnect frees
// the session the receive is reading).

#include <optional>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace station {

inline constexpr int kScpiRawPort = 5025;

struct InstrumentAddress {
    std::string host;
    int port = kScpiRawPort;
    std::string text() const { return host + ":" + std::to_string(port); }
};

// "HOST" or "HOST:PORT"; nothing when the text is no such address.
std::optional<InstrumentAddress> parse_instrument_address(std::string_view text);

// The instrument failed, went away or answered nonsense; what() says which
// instrument and why.
class InstrumentError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The caller asked to stop while the instrument was busy.
class InstrumentStopped : public std::runtime_error {
public:
    InstrumentStopped() : std::runtime_error("stopped") {}
};

struct InstrumentTimeouts {
    int connect_ms = 1000;
    int reply_ms = 3000;  // a reading slower than this is a hung instrument
    int slice_ms = 50;    // how soon a stop request is seen
};

class Instrument {
public:
    Instrument(std::string name, InstrumentAddress address, InstrumentTimeouts timeouts = {});
    ~Instrument();
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    const std::string& name() const { return name_; }
    const InstrumentAddress& address() const { return address_; }
    bool connected() const { return device_ >= 0; }
    // What *IDN? answered on the last connect.
    const std::string& identity() const { return identity_; }

    // Connects when not connected, checks the instrument answers *IDN? and
    // clears its error queue. Queries and writes connect on their own, so
    // an instrument that went away is reconnected by the next command.
    void connect(std::stop_token stop = {});
    void disconnect();

    std::string query(std::string_view command, std::stop_token stop = {});
    void write(std::string_view command, std::stop_token stop = {});
    // The readings of a measurement query ("+4.99E+00,+1.20E+01").
    std::vector<double> measure(std::string_view command, std::stop_token stop = {});

private:
    [[noreturn]] void fail(const std::string& why);
    void send(std::string_view command, std::stop_token stop);
    std::string receive(std::string_view command, std::stop_token stop);
    void check_errors(std::string_view command, std::stop_token stop);

    std::string name_;
    InstrumentAddress address_;
    InstrumentTimeouts timeouts_;
    int device_ = -1;
    int socket_ = -1;  // liblxi's socket of the session, when known
    std::string identity_;
};

}  // namespace station
