// SPDX-License-Identifier: MIT
#pragma once

// The instrument simulator (atsui_instrument_sim) run by the station for
// projects whose instruments have no address: a child process listening on
// a free loopback port, stopped with the station (and by the kernel should
// the station die first).

#include <stdexcept>
#include <string>

#include <sys/types.h>

namespace station {

class SimulatorProcessError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SimulatorProcess {
public:
    // Starts program and waits (at most a few seconds) for its port.
    // Throws SimulatorProcessError.
    explicit SimulatorProcess(const std::string& program);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    void stop();

    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace station
