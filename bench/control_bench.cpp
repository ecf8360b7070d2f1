// Control channel figures on loopback: a set-then-get round trip, commands a
// second from one client, how soon an event follows what it reports, and how
// close a scenario's at lines run to their time. Everything stays on 127.0.0.1.

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "control/control_channel.h"
#include "control/control_host.h"
#include "control/scenario.h"
#include "control/scenario_player.h"
#include "links/link_control.h"
#include "platform/tcp_socket.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using bench::percentile;

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

class BenchHost : public ControlHost {
public:
    bool onMainThread(const std::function<void()>& task) override {
        task();
        return true;
    }
    LinkUi& linkUi() override { return ui; }
    void quit() override {}
    std::string play(const std::string&, const PlayOptions&) override { return {}; }
    void stopPlaying() override {}
    std::string record(const std::string&) override { return {}; }
    void stopRecording() override {}
    bench::NullUi ui;
};

// A program with a control channel on loopback, and one client of it.
struct Controlled {
    SharedState shared;
    LinkControl control;
    BenchHost host;
    ControlChannel channel{shared, control, host};
    int fd = -1;
    std::string buffered;

    bool start() {
        if (!channel.open(*readControlPlace("127.0.0.1:0")).empty()) return false;
        fd = bench::dial(channel.port());
        return fd >= 0;
    }
    ~Controlled() {
        startLink(shared, control, host.ui, kMediumNone);
        if (fd >= 0) ::close(fd);
        channel.close();
    }
    void send(const std::string& text) const { ::send(fd, text.data(), text.size(), 0); }
    // The next line, without its end.
    std::string line() {
        for (;;) {
            const std::size_t end = buffered.find('\n');
            if (end != std::string::npos) {
                std::string one = buffered.substr(0, end);
                buffered.erase(0, end + 1);
                return one;
            }
            char chunk[65536];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return {};
            buffered.append(chunk, static_cast<std::size_t>(n));
        }
    }
};

// The least a line's round trip costs on this machine: a thread that reads a
// line and writes one back, over the same loopback.
double echoLineP50Us() {
    std::optional<TcpListener> listener = TcpListener::listen({{127, 0, 0, 1}, 0});
    const int client = bench::dial(listener->localAddress()->port);
    std::optional<TcpConnection> far;
    while (!(far = listener->accept())) std::this_thread::sleep_for(1ms);
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        char buffer[4096];
        SocketPoll poll;
        while (!stop.load()) {
            poll.clear();
            const std::size_t index = poll.add(*far, false);
            if (!poll.wait(50ms) || !poll.readable(index)) continue;
            const TcpTransfer got = far->receive(buffer, sizeof buffer);
            if (got.bytes > 0) far->send("{\"ok\": true}\n", 14);
        }
    });
    std::vector<double> trips;
    char buffer[4096];
    for (int i = 0; i < 5000; ++i) {
        const auto began = Clock::now();
        ::send(client, "get\n", 4, 0);
        if (::recv(client, buffer, sizeof buffer, 0) <= 0) break;
        trips.push_back(micros(Clock::now() - began));
    }
    stop.store(true);
    echo.join();
    ::close(client);
    return percentile(trips, 0.50);
}

void BM_ControlSetThenGet(benchmark::State& state) {
    for (auto _ : state) {
        Controlled korvane;
        if (!korvane.start()) return state.SkipWithError("no channel");
        std::vector<double> sets, gets, pairs;
        for (int i = 0; i < 5000; ++i) {
            const auto began = Clock::now();
            korvane.send("set rop 0.5\n");
            korvane.line();
            const auto set = Clock::now();
            korvane.send("get\n");
            korvane.line();
            sets.push_back(micros(set - began));
            gets.push_back(micros(Clock::now() - set));
            pairs.push_back(micros(Clock::now() - began));
        }
        state.counters["set_p50_us"] = percentile(sets, 0.50);
        state.counters["get_p50_us"] = percentile(gets, 0.50);
        state.counters["set_get_p50_us"] = percentile(pairs, 0.50);
        state.counters["set_get_p99_us"] = percentile(pairs, 0.99);
        state.counters["echo_line_p50_us"] = echoLineP50Us();
    }
}
BENCHMARK(BM_ControlSetThenGet)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ControlCommandsASecond(benchmark::State& state) {
    constexpr int kCommands = 50000;
    for (auto _ : state) {
        Controlled korvane;
        if (!korvane.start()) return state.SkipWithError("no channel");
        const auto began = Clock::now();
        std::thread writer([&] {
            for (int i = 0; i < kCommands; ++i) korvane.send("set gas.value 42\n");
        });
        int replies = 0;
        while (replies < kCommands && !korvane.line().empty()) ++replies;
        writer.join();
        const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
        state.counters["commands_per_second"] = replies / seconds;
    }
}
BENCHMARK(BM_ControlCommandsASecond)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// A receiver of a TCP link sends its gas; the watching client's event for it.
void BM_ControlEventLatency(benchmark::State& state) {
    for (auto _ : state) {
        Controlled korvane;
        if (!korvane.start()) return state.SkipWithError("no channel");
        korvane.send("link tcp-listen 127.0.0.1:0\nwatch\n");
        korvane.line();
        korvane.line();
        const int receiver = bench::dial(static_cast<uint16_t>(korvane.control.localPort.load()));
        if (receiver < 0) return state.SkipWithError("no receiver");
        while (korvane.line().find("\"connected\"") == std::string::npos) {
        }
        std::vector<double> latencies;
        const std::string gas = "&&\r\n0140 5\r\n!!\r\n";
        for (int i = 0; i < 500; ++i) {
            const auto sent = Clock::now();
            ::send(receiver, gas.data(), gas.size(), 0);
            while (korvane.line().find("\"gas\"") == std::string::npos) {
            }
            latencies.push_back(micros(Clock::now() - sent));
            std::this_thread::sleep_for(2ms);
        }
        ::close(receiver);
        state.counters["event_p50_us"] = percentile(latencies, 0.50);
        state.counters["event_p99_us"] = percentile(latencies, 0.99);
    }
}
BENCHMARK(BM_ControlEventLatency)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Twenty at lines a quarter of a second apart, each setting the hole depth
// to its number; a watcher notes when each value appears.
void BM_ScenarioAtLineLateness(benchmark::State& state) {
    for (auto _ : state) {
        Controlled korvane;
        std::string text;
        for (int n = 1; n <= 20; ++n) {
            char at[32];
            const auto end = std::to_chars(at, at + sizeof at, n * 0.25).ptr;
            text += "at " + std::string(at, end) + "s set depth.hole " + std::to_string(n) + "\n";
        }
        ParsedScenario parsed = readScenario(text, "bench.scn", {});
        if (!parsed.error.empty()) return state.SkipWithError(parsed.error.c_str());
        korvane.shared.sim.ropChoice = 0;  // the clock would move the depth otherwise
        ScenarioPlayer player(ScenarioRun(std::move(parsed.lines)), korvane.shared, korvane.control,
                              korvane.channel.commands(), korvane.host);
        const auto began = Clock::now();
        player.start();
        std::vector<double> lateness;
        for (int n = 1; n <= 20;) {
            float depth = 0;
            withData(korvane.shared.dataMutex, 100ms,
                     [&] { depth = korvane.shared.sim.holeDepth; });
            if (depth >= static_cast<float>(n)) {
                lateness.push_back(micros(Clock::now() - began) / 1000.0 - n * 250.0);
                ++n;
            }
            std::this_thread::sleep_for(100us);
        }
        player.stop();
        state.counters["at_late_p50_ms"] = percentile(lateness, 0.50);
        state.counters["at_late_max_ms"] = percentile(lateness, 1.0);
    }
}
BENCHMARK(BM_ScenarioAtLineLateness)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
