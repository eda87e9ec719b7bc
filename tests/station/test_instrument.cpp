// SPDX-License-Identifier: MIT
// The Instrument class against the instrument simulator, and the simulator
// against Debian's own LXI client.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "instrument_sim.h"
#include "logic/cell_runner.h"
#include "logic/instrument.h"
#include "logic/text.h"
#include "time_scale.h"

using namespace station;
using Clock = std::chrono::steady_clock;

namespace {

InstrumentAddress address_of(const InstrumentSim& sim) {
    return *parse_instrument_address(sim.address());
}

// Short waits keep the suite quick; a hang is one that outlasts reply_ms.
InstrumentTimeouts quick() {
    InstrumentTimeouts t;
    t.connect_ms = 1000;
    t.reply_ms = 600;
    t.slice_ms = 20;
    return t;
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
        pclose(pipe);
    }
    return out;
}

// What "at once" means here: far below the 30 s and 60 s hangs these tests
// wait on, far above a loaded machine's scheduling delays. How soon a stop
// really lands is measured by make bench (station_workers_bench).
constexpr int kPromptMs = 5000;

long long ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

TEST(InstrumentAddressText, HostAndOptionalPort) {
    const auto plain = parse_instrument_address(" psu.lab ");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->host, "psu.lab");
    EXPECT_EQ(plain->port, kScpiRawPort);
    const auto with_port = parse_instrument_address("127.0.0.1:6001");
    ASSERT_TRUE(with_port);
    EXPECT_EQ(with_port->port, 6001);
    EXPECT_EQ(with_port->text(), "127.0.0.1:6001");
    for (const char* bad : {"", ":5025", "host:", "host:0", "host:70000", "host:50x", "a b"})
        EXPECT_FALSE(parse_instrument_address(bad)) << bad;
}

TEST(InstrumentSimulator, AnswersDebiansLxiClient) {
    InstrumentSim sim;
    ASSERT_GT(sim.port(), 0);
    const std::string lxi =
        "timeout 10 lxi scpi --address 127.0.0.1 --raw --port " + std::to_string(sim.port()) + " ";
    EXPECT_EQ(run(lxi + "'*IDN?'").rfind("ATSUI,Instrument Simulator,", 0), 0u);
    const std::string readings = run(lxi + "'MEAS:VOLT:DC? (@1,2)'");
    const auto comma = readings.find(',');
    ASSERT_NE(comma, std::string::npos) << readings;
    EXPECT_TRUE(parse_number(trim(std::string_view(readings).substr(0, comma)))) << readings;
    EXPECT_TRUE(parse_number(trim(std::string_view(readings).substr(comma + 1)))) << readings;
}

TEST(InstrumentSession, IdentifiesMeasuresAndReportsScpiErrors) {
    const int latency_ms = 120;
    InstrumentSim sim({"--seed", "9", "--latency", "MEAS:TEMP?=" + std::to_string(latency_ms)});
    Instrument meter("dmm1", address_of(sim), quick());
    meter.connect();
    EXPECT_TRUE(meter.connected());
    EXPECT_EQ(meter.identity().rfind("ATSUI,Instrument Simulator,", 0), 0u);
    EXPECT_EQ(meter.query("*IDN?"), meter.identity());

    // One reading per channel, in the order asked; short and long forms alike.
    EXPECT_EQ(meter.measure("MEAS:VOLT:DC? (@1,2,4)").size(), 3u);
    EXPECT_EQ(meter.measure("MEASure:CURRent:DC? (@1:3)").size(), 3u);
    const auto started = Clock::now();
    EXPECT_EQ(meter.measure("MEAS:TEMP?").size(), 1u);
    EXPECT_GE(ms_since(started), latency_ms) << "the configured latency was not applied";

    // The same seed gives the same readings on a fresh simulator.
    InstrumentSim twin({"--seed", "9"});
    Instrument a("a", address_of(twin), quick());
    const auto first = a.measure("MEAS:VOLT:DC? (@1,2)");
    InstrumentSim again({"--seed", "9"});
    Instrument b("b", address_of(again), quick());
    EXPECT_EQ(b.measure("MEAS:VOLT:DC? (@1,2)"), first);

    // SYST:ERR? after each command turns a queued error into a failure that
    // names the command, and the queue is empty for the next one.
    try {
        meter.write("SOUR:VOLT 5");
        ADD_FAILURE() << "an undefined command passed";
    } catch (const InstrumentError& error) {
        EXPECT_NE(std::string(error.what()).find("SOUR:VOLT 5"), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("Undefined header"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(meter.measure("MEAS:VOLT:DC?").size(), 1u);
}

// Each fault fails the one command it hits with its own reason, in bounded
// time, and the instrument works again for the next command.
TEST(InstrumentSession, EachFaultFailsOneCommandAndTheNextWorks) {
    InstrumentSim sim;
    const InstrumentTimeouts timeouts = quick();
    Instrument control("control", address_of(sim), timeouts);
    Instrument meter("dmm1", address_of(sim), timeouts);
    meter.connect();
    const struct {
        const char* fault;
        const char* reason;
    } cases[] = {{"DROP", "connection closed"},
                 {"HANG", "no answer"},
                 {"GARBAGE", "garbage"},
                 {"ERROR", "Self-test failed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        control.write(std::string("SIM:FAULT ") + c.fault + ",1");
        const auto started = Clock::now();
        try {
            meter.measure("MEAS:VOLT:DC? (@1)");
            ADD_FAILURE() << "the fault went unnoticed";
        } catch (const InstrumentError& error) {
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos) << error.what();
            EXPECT_NE(std::string(error.what()).find("dmm1"), std::string::npos) << error.what();
        }
        EXPECT_LE(ms_since(started), timeouts.reply_ms * 3 * time_scale());
        EXPECT_EQ(meter.measure("MEAS:VOLT:DC? (@1)").size(), 1u) << "no recovery";
    }
}

TEST(InstrumentSession, StopEndsAWaitOnAHungInstrumentBeforeItsReply) {
    InstrumentSim sim({"--fault", "hang"});
    InstrumentTimeouts timeouts = quick();
    timeouts.reply_ms = 30000;
    Instrument meter("dmm1", address_of(sim), timeouts);
    meter.connect();  // *IDN? is no measurement: the hang waits for one
    std::stop_source stop;
    auto waiting = std::async(std::launch::async, [&] {
        try {
            meter.measure("MEAS:VOLT:DC?", stop.get_token());
        } catch (const InstrumentStopped&) {
            return true;
        } catch (const std::exception&) {
        }
        return false;
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(timeouts.slice_ms * 5)),
              std::future_status::timeout)
        << "the hung command returned on its own";
    const auto asked = Clock::now();
    stop.request_stop();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(waiting.get());
    EXPECT_LE(ms_since(asked), kPromptMs * time_scale()) << "the stop waited for the reply";
    EXPECT_FALSE(meter.connected()) << "a late answer could pass for the next one";
}

TEST(InstrumentSession, AnInstrumentThatWentAwayIsReconnectedWhenBack) {
    auto sim = std::make_unique<InstrumentSim>();
    const int port = sim->port();
    Instrument meter("psu1", address_of(*sim), quick());
    meter.connect();
    sim.reset();
    EXPECT_THROW(meter.measure("MEAS:VOLT:DC?"), InstrumentError);
    EXPECT_FALSE(meter.connected());
    EXPECT_THROW(meter.connect(), InstrumentError) << "nobody listens";

    sim = std::make_unique<InstrumentSim>(std::vector<std::string>{}, port);
    ASSERT_EQ(sim->port(), port);
    EXPECT_EQ(meter.measure("MEAS:VOLT:DC?").size(), 1u);
    EXPECT_TRUE(meter.connected());
}

// liblxi prints "Error: Timeout" for every wait slice that passes without an
// answer: a station reading slow instruments in many cells would flood its
// log. Waiting happens on the session's socket instead.
TEST(InstrumentSession, SlowAnswersLeaveStderrQuiet) {
    const int latency_ms = 200;
    InstrumentSim sim({"--latency", "*=" + std::to_string(latency_ms)});
    Instrument a("a", address_of(sim), quick());
    Instrument b("b", address_of(sim), quick());
    testing::internal::CaptureStderr();
    // Two sessions to the same instrument from two threads at once: each
    // must wait on its own socket, not the other's.
    auto other = std::async(std::launch::async, [&] { return b.measure("MEAS:CURR:DC?").size(); });
    const auto started = Clock::now();
    const std::size_t readings = a.measure("MEAS:VOLT:DC? (@1,2)").size();
    const long long took = ms_since(started);
    const std::size_t other_readings = other.get();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(readings, 2u);
    EXPECT_EQ(other_readings, 1u);
    EXPECT_GE(took, latency_ms);
    EXPECT_EQ(printed.find("Timeout"), std::string::npos) << printed;
}

// Sixteen cells' runners on one instrument at once, as a full station runs:
// every run completes with its readings in order, side by side rather than
// one after another; then sixteen runs stuck on a hung instrument all stop
// at once.
TEST(CellRunners, SixteenRunOnOneInstrumentSideBySideAndStopTogether) {
    constexpr int kCells = 16;
    const int latency_ms = 40;
    InstrumentSim sim({"--latency", "*=" + std::to_string(latency_ms)});
    ASSERT_GT(sim.port(), 0);
    const Project project = parse_project("instrument dmm1 = " + sim.address() +
                                          "\n"
                                          "A ; 4.75 ; 5.25 ; V ; dmm1 ; MEAS:VOLT:DC? (@1)\n"
                                          "B ; 11.4 ; 12.6 ; V ; dmm1 ; MEAS:VOLT:DC? (@2)\n"
                                          "C ; 0 ; 1 ; V\n");
    struct Cell {
        std::unique_ptr<CellRunner> runner;
        std::vector<std::string> names;  // written by the worker only
        std::promise<RunOutcome> done;
    };
    std::vector<Cell> cells(kCells);
    const auto started = Clock::now();
    for (int n = 0; n < kCells; ++n) {
        Cell& cell = cells[std::size_t(n)];
        cell.runner = std::make_unique<CellRunner>(Simulator::seed_for_cell(1, n));
        CellRunner::Callbacks callbacks;
        callbacks.measured = [&cell](std::size_t, const ItemResult& r) {
            cell.names.push_back(r.name);
        };
        callbacks.finished = [&cell](const RunOutcome& o) { cell.done.set_value(o); };
        cell.runner->start(project, 1, quick(), std::move(callbacks));
    }
    for (Cell& cell : cells) {
        auto outcome = cell.done.get_future();
        ASSERT_EQ(outcome.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        const RunOutcome o = outcome.get();
        EXPECT_EQ(o.kind, RunOutcome::Kind::completed) << o.reason;
        cell.runner->stop_and_join();
        EXPECT_EQ(cell.names, (std::vector<std::string>{"A", "B", "C"}));
    }
    // One run waits for connect (2 replies) and two readings (2 each).
    const long long took = ms_since(started);
    EXPECT_LT(took, kCells * 6 * latency_ms / 2) << "the runs took turns";
    std::printf("16 runs of 6 replies at %d ms each: %lld ms\n", latency_ms, took);

    Instrument control("control", address_of(sim), quick());
    control.write("SIM:FAULT HANG");
    InstrumentTimeouts patient = quick();
    patient.reply_ms = 60000;
    for (Cell& cell : cells) {
        cell.done = {};
        CellRunner::Callbacks callbacks;
        callbacks.finished = [&cell](const RunOutcome& o) { cell.done.set_value(o); };
        cell.runner->start(project, 1, patient, std::move(callbacks));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    for (Cell& cell : cells) EXPECT_TRUE(cell.runner->busy());
    const auto asked = Clock::now();
    for (Cell& cell : cells) cell.runner->stop();
    for (Cell& cell : cells) cell.runner->stop_and_join();
    const long long stopping = ms_since(asked);
    for (Cell& cell : cells) {
        auto outcome = cell.done.get_future();
        ASSERT_EQ(outcome.wait_for(std::chrono::seconds(0)), std::future_status::ready);
        EXPECT_EQ(outcome.get().kind, RunOutcome::Kind::stopped);
    }
    EXPECT_LE(stopping, kPromptMs * time_scale()) << "sixteen hung runs waited for the reply";
    std::printf("16 runs on a hung instrument stopped in %lld ms\n", stopping);
}

namespace {

// A port whose listener never accepts and whose queue is full: the kernel
// drops further connection requests, as a host that is off the network
// would. Fills the queue until a connect stays pending.
class SilentPort {
public:
    SilentPort() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            listen(listener_, 0) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        for (int i = 0; i < 8 && !full_; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            fillers_.push_back(fd);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0) continue;
            pollfd p{fd, POLLOUT, 0};
            full_ = poll(&p, 1, 200) == 0;
        }
        port_ = ntohs(address.sin_port);
    }
    ~SilentPort() {
        for (int fd : fillers_) close(fd);
        close(listener_);
    }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;
    bool ready() const { return full_ && port_ > 0; }
    InstrumentAddress address() const { return {"127.0.0.1", port_}; }

private:
    int listener_ = -1;
    int port_ = 0;
    bool full_ = false;
    std::vector<int> fillers_;
};

}  // namespace

// An instrument that never answers the connection: the connect gives up
// after its timeout, a stop ends it at once, and a refused port says so.
TEST(InstrumentSession, ConnectsThatNeverCompleteTimeOutOrStop) {
    SilentPort silent;
    if (!silent.ready()) GTEST_SKIP() << "the kernel did not drop connection requests here";
    InstrumentTimeouts timeouts = quick();
    timeouts.connect_ms = 300;
    Instrument meter("dmm1", silent.address(), timeouts);
    const auto started = Clock::now();
    try {
        meter.connect();
        ADD_FAILURE() << "connected to a port that never answers";
    } catch (const InstrumentError& error) {
        EXPECT_NE(std::string(error.what()).find("no answer within 300 ms"), std::string::npos)
            << error.what();
    }
    EXPECT_GE(ms_since(started), timeouts.connect_ms);
    EXPECT_LE(ms_since(started), (timeouts.connect_ms + kPromptMs) * time_scale())
        << "the connect waited past its own timeout";

    timeouts.connect_ms = 60000;
    Instrument patient("dmm2", silent.address(), timeouts);
    std::stop_source stop;
    auto waiting = std::async(std::launch::async, [&] {
        try {
            patient.connect(stop.get_token());
        } catch (const InstrumentStopped&) {
            return true;
        } catch (const std::exception&) {
        }
        return false;
    });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(150)), std::future_status::timeout);
    const auto asked = Clock::now();
    stop.request_stop();
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_TRUE(waiting.get());
    EXPECT_LE(ms_since(asked), kPromptMs * time_scale()) << "the stop waited for the connect";

    // A port nobody listens on: refused at once, and said so.
    const int free_port = InstrumentSim().port();  // gone again at the end of the line
    Instrument nobody("psu1", {"127.0.0.1", free_port}, quick());
    try {
        nobody.connect();
        ADD_FAILURE() << "connected to a closed port";
    } catch (const InstrumentError& error) {
        EXPECT_NE(std::string(error.what()).find("refused"), std::string::npos) << error.what();
    }
}
