// SPDX-License-Identifier: MIT
#include "logic/simulator_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace station {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kStartLimit = std::chrono::seconds(5);
constexpr auto kStopLimit = std::chrono::seconds(2);
}  // namespace

SimulatorProcess::SimulatorProcess(const std::string& program) {
    if (access(program.c_str(), X_OK) != 0)
        throw SimulatorProcessError("no instrument simulator at " + program);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw SimulatorProcessError(std::string("pipe: ") + std::strerror(errno));
    // Built before the fork: the child of a threaded process may only make
    // async-signal-safe calls until exec.
    std::vector<std::string> args{program, "--port", "0", "--bind", "127.0.0.1"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) _exit(1);
        dup2(fds[1], 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        throw SimulatorProcessError(std::string("fork: ") + std::strerror(errno));
    }
    std::string out;
    const auto end = Clock::now() + kStartLimit;
    while (out.find('\n') == std::string::npos && Clock::now() < end) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char buffer[128];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, std::size_t(n));
    }
    close(fds[0]);
    if (out.rfind("port ", 0) == 0) port_ = std::atoi(out.c_str() + 5);
    if (port_ <= 0) {
        stop();
        throw SimulatorProcessError("the instrument simulator " + program +
                                    " did not say its port");
    }
}

SimulatorProcess::~SimulatorProcess() { stop(); }

void SimulatorProcess::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto end = Clock::now() + kStopLimit;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() > end) {
            ::kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
}

}  // namespace station
