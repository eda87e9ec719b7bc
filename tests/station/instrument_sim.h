// SPDX-License-Identifier: MIT
#pragma once

// The instrument simulator started as its own process on a free loopback
// port (or a given one, to come back where it was). Every wait is bounded;
// the simulator is stopped when the object goes.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

class InstrumentSim {
public:
    explicit InstrumentSim(const std::vector<std::string>& args = {}, int port = 0) {
        int fds[2];
        if (pipe(fds) != 0) return;
        const pid_t test = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // Ends with the test, also when the test is killed at its timeout.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != test) _exit(125);
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            const std::string program = STATION_INSTRUMENT_SIM;
            std::vector<std::string> all{program, "--port", std::to_string(port)};
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& a : all) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(fds[1]);
        // "port N" comes first; five seconds is ample for a process start.
        std::string out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (out.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char buffer[256];
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            out.append(buffer, std::size_t(n));
        }
        close(fds[0]);
        if (out.rfind("port ", 0) == 0) port_ = std::atoi(out.c_str() + 5);
    }
    ~InstrumentSim() { stop(); }
    InstrumentSim(const InstrumentSim&) = delete;
    InstrumentSim& operator=(const InstrumentSim&) = delete;

    int port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

    void stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int port_ = 0;
};
