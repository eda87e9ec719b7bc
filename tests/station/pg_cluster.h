// SPDX-License-Identifier: MIT
#pragma once

// A throw-away PostgreSQL cluster for one test: created with initdb in a
// temporary folder, listening on a Unix socket in that folder only (no TCP),
// run as a plain user because the server refuses root. Removed afterwards.

#include <libpq-fe.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

class PgCluster {
public:
    static constexpr const char* kBin = "/usr/lib/postgresql/15/bin";

    static bool available() { return std::filesystem::exists(std::string(kBin) + "/initdb"); }

    // fsync off makes the test's own cluster quick; a benchmark measures with it on.
    explicit PgCluster(bool fsync = false) {
        // Short: a socket path is limited to about a hundred bytes.
        folder_ = "/tmp/atsui-pg-" + std::to_string(::getpid());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        ::chmod(folder_.c_str(), 0700);
        if (::getuid() == 0) {
            as_user_ = "runuser -u nobody -- ";
            shell("chown nobody: " + folder_);
        }
        port_ = 20000 + ::getpid() % 20000;
        shell(as_user_ + kBin + "/initdb -D " + folder_ + "/data -U atsui --auth=trust -E UTF8 " +
              "--no-sync -N > " + folder_ + "/initdb.log 2>&1");
        options_ = "-c listen_addresses='' -k " + folder_ + " -p " + std::to_string(port_) +
                   " -c fsync=" + (fsync ? "on" : "off") + " -c max_connections=40";
        start();
        guard_ = start_guard(as_user_ + kBin + "/pg_ctl -D " + folder_ +
                                 "/data -m immediate -w stop > /dev/null 2>&1; rm -rf " + folder_,
                             guard_pipe_);
    }

    ~PgCluster() {
        std::system((as_user_ + kBin + "/pg_ctl -D " + folder_ + "/data -m immediate -w stop " +
                     "> /dev/null 2>&1")
                        .c_str());
        std::filesystem::remove_all(folder_);
        if (guard_pipe_ >= 0) ::close(guard_pipe_);
        if (guard_ > 0) ::waitpid(guard_, nullptr, 0);
    }

    void start() {
        shell(as_user_ + kBin + "/pg_ctl -D " + folder_ + "/data -l " + folder_ +
              "/server.log -w -t 30 -o \"" + options_ + "\" start > /dev/null");
    }
    void stop() {
        shell(as_user_ + kBin + "/pg_ctl -D " + folder_ +
              "/data -m fast -w -t 30 stop > /dev/null");
    }

    // From now on role user logs in with password only; the test's own
    // role atsui still needs none.
    void require_password(const std::string& user, const std::string& password) {
        query("CREATE ROLE " + user + " LOGIN SUPERUSER PASSWORD '" + password + "'");
        {
            std::ofstream hba(folder_ + "/data/pg_hba.conf", std::ios::trunc);
            hba << "local all atsui trust\nlocal all all scram-sha-256\n";
        }
        shell(as_user_ + kBin + "/pg_ctl -D " + folder_ + "/data reload > /dev/null");
    }

    // The address for another role, with a password in it when given.
    std::string address_as(const std::string& user, const std::string& password = {}) const {
        return "postgresql://" + user + (password.empty() ? "" : ":" + password) +
               "@/postgres?host=" + folder_ + "&port=" + std::to_string(port_);
    }

    std::string address() const {
        return "postgresql:///postgres?host=" + folder_ + "&port=" + std::to_string(port_) +
               "&user=atsui";
    }

    // The first column of the first row of a query, "" when there is none.
    std::string query(const std::string& sql) const {
        PGconn* pg = PQconnectdb(address().c_str());
        std::string value;
        if (PQstatus(pg) == CONNECTION_OK) {
            PGresult* r = PQexec(pg, sql.c_str());
            if (PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0)
                value = PQgetvalue(r, 0, 0);
            else if (PQresultStatus(r) != PGRES_TUPLES_OK)
                value = "error: " + std::string(PQerrorMessage(pg));
            PQclear(r);
        } else {
            value = "error: " + std::string(PQerrorMessage(pg));
        }
        PQfinish(pg);
        return value;
    }

private:
    // The server runs detached from the test, so a test killed at its
    // timeout would leave it running: a shell that waits for the end of a
    // pipe only this process holds stops the server once that end closes,
    // however the test ends.
    static pid_t start_guard(const std::string& stop, int& pipe_end) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
        const std::string script = "cat > /dev/null; " + stop;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[0], 0);
            // Nor does it hold the test's output open for whoever reads it.
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::setsid();  // not in the test's process group: not killed with it
            ::execl("/bin/sh", "sh", "-c", script.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[0]);
        pipe_end = pid > 0 ? fds[1] : (::close(fds[1]), -1);
        return pid;
    }

    static void shell(const std::string& command) {
        if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
    }

    std::string folder_;
    std::string as_user_;
    std::string options_;
    int port_ = 0;
    pid_t guard_ = -1;
    int guard_pipe_ = -1;
};
