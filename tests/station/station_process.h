// SPDX-License-Identifier: MIT
#pragma once

// A station started as its own process, its output collected from a pipe.
// Every wait is bounded; a station still running when the object goes is
// killed, so a failing test never leaves one behind.
//
// Each station gets scratch XDG folders (config, state, data) unless the
// environment names its own: a test station never reads the settings or
// writes the logs of the user who runs the tests, nor of another test.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

class StationProcess {
public:
    StationProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& environment = {},
                   const std::string& working_folder = {}) {
        std::string scratch =
            (std::filesystem::temp_directory_path() / "station-xdg-XXXXXX").string();
        if (mkdtemp(scratch.data())) scratch_ = scratch;
        int fds[2];
        if (pipe(fds) != 0) return;
        const pid_t test = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // Ends with the test, also when the test is killed at its timeout.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != test) _exit(125);
            dup2(fds[1], 1);
            dup2(fds[1], 2);
            close(fds[0]);
            close(fds[1]);
            if (!scratch_.empty())
                for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_DATA_HOME"})
                    setenv(name, (scratch_ + "/" + name).c_str(), 1);
            for (const std::string& variable : environment) putenv(strdup(variable.c_str()));
            if (!working_folder.empty() && chdir(working_folder.c_str()) != 0) _exit(126);
            std::vector<char*> argv{const_cast<char*>(program.c_str())};
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(fds[1]);
        out_ = fds[0];
        fcntl(out_, F_SETFL, O_NONBLOCK);
    }
    ~StationProcess() {
        if (pid_ > 0 && status_ < 0) kill_hard();
        if (out_ >= 0) close(out_);
        std::error_code ignored;
        if (!scratch_.empty()) std::filesystem::remove_all(scratch_, ignored);
    }
    StationProcess(const StationProcess&) = delete;
    StationProcess& operator=(const StationProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The scratch folder holding this station's XDG_*_HOME folders.
    const std::string& scratch() const { return scratch_; }
    const std::string& output() const { return output_; }

    // Serial numbers of the verdicts the station logged, until there are at
    // least count of them, the station exits or the time is up.
    std::vector<std::string> read_verdicts(std::size_t count, std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (verdicts().size() < count && std::chrono::steady_clock::now() < end)
            if (!read_some(100)) break;
        return verdicts();
    }

    std::vector<std::string> verdicts() const {
        std::vector<std::string> serials;
        std::size_t pos = 0;
        while ((pos = output_.find("shown ", pos)) != std::string::npos) {
            const std::size_t eol = output_.find('\n', pos);
            if (eol == std::string::npos) break;
            const std::string line = output_.substr(pos + 6, eol - pos - 6);
            serials.push_back(line.substr(0, line.rfind(' ')));
            pos = eol;
        }
        return serials;
    }

    void kill_hard() {
        if (pid_ <= 0 || status_ >= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        status_ = 128 + SIGKILL;
        while (read_some(0)) {
        }
    }

    // The exit code, or -1 when the station had to be killed at the limit.
    int wait(std::chrono::milliseconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (status_ < 0 && std::chrono::steady_clock::now() < end) {
            read_some(100);
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_)
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (status_ < 0) {
            kill_hard();
            return -1;
        }
        while (read_some(0)) {
        }
        return status_;
    }

private:
    bool read_some(int timeout_ms) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, timeout_ms) <= 0) return status_ < 0;
        char buffer[4096];
        const ssize_t n = read(out_, buffer, sizeof buffer);
        if (n > 0) output_.append(buffer, std::size_t(n));
        return n > 0 || (n < 0 && errno == EAGAIN);
    }

    std::string scratch_;
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
    std::string output_;
};
