// Link figures on loopback: interrogated UDP round trips against a minimal echo, the processor time
// of idle and streaming links, the streaming period, and how fast startLink
// stops a running link. Every packet stays on 127.0.0.1.

#include <benchmark/benchmark.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "links/link_control.h"
#include "links/udp_links.h"
#include "platform/udp_socket.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const Ipv4Address kLinkPort{{127, 0, 0, 1}, kWitsUdpPort};
constexpr auto kCpuWindow = 5s;

class NullUi : public LinkUi {
public:
    void showLinkError(const std::string& text) override { lastError = text; }
    void setTitle(const std::string&) override {}
    std::string lastError;
};

// A shared state with the peer on loopback; a link started from it never
// sends anywhere else.
struct Loopback {
    SharedState shared;
    LinkControl control;
    NullUi ui;

    Loopback() {
        const int32_t loopback[4] = {127, 0, 0, 1};
        std::copy(loopback, loopback + 4, shared.link.ipAddress);
    }
    ~Loopback() { startLink(shared, control, ui, kMediumNone); }

    bool start(int32_t medium, int32_t interrogated, float interval = 3.0f) {
        shared.link.interrogated = interrogated;
        shared.link.transmitInterval = interval;
        startLink(shared, control, ui, medium);
        return shared.link.medium == medium;
    }
};

double processCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * (values.size() - 1))];
}

// Round trips of `request` to `to`, each waiting for its answer; the
// microseconds of each, and the size of the last answer. Empty when one failed.
std::vector<double> udpRoundTripsUs(UdpSocket& client, const std::string& request,
                                    const Ipv4Address& to, int count, long* answerBytes) {
    char buffer[65536];
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto sent = Clock::now();
        client.sendTo(request.data(), request.size(), to);
        if (!client.waitReadable(1000ms)) return {};
        *answerBytes = client.receiveFrom(buffer, sizeof buffer).length;
        if (*answerBytes <= 0) return {};
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
    }
    return micros;
}

// The least a UDP answer can cost: a thread that waits for a datagram as the
// link does and sends back as many bytes as the link's frame has.
class MinimalUdpEcho {
public:
    explicit MinimalUdpEcho(std::size_t answerBytes)
        : socket_(*UdpSocket::open()), answer_(answerBytes, '.') {
        socket_.bind(Ipv4Address{{127, 0, 0, 1}, 0});
        thread_ = std::thread([this] {
            char buffer[65536];
            while (!stop_.load()) {
                if (!socket_.waitReadable(50ms)) continue;
                const Datagram got = socket_.receiveFrom(buffer, sizeof buffer);
                if (got.length > 0) socket_.sendTo(answer_.data(), answer_.size(), got.sender);
            }
        });
    }
    ~MinimalUdpEcho() {
        stop_.store(true);
        thread_.join();
    }
    Ipv4Address address() const { return *socket_.localAddress(); }

private:
    UdpSocket socket_;
    std::string answer_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void BM_InterrogatedUdpRoundTrip(benchmark::State& state) {
    constexpr int kCount = 20000;
    const std::string request = "&&\r\n0140 5\r\n!!\r\n";
    for (auto _ : state) {
        long answerBytes = 0;
        std::vector<double> korvane;
        {
            Loopback link;
            if (!link.start(kMediumUdp, 1)) return state.SkipWithError("link did not start");
            UdpSocket client = *UdpSocket::open();
            client.bind(Ipv4Address{{127, 0, 0, 1}, 0});
            korvane = udpRoundTripsUs(client, request, kLinkPort, kCount, &answerBytes);
        }
        if (korvane.empty()) return state.SkipWithError("no answer");
        MinimalUdpEcho echo(static_cast<std::size_t>(answerBytes));
        UdpSocket client = *UdpSocket::open();
        client.bind(Ipv4Address{{127, 0, 0, 1}, 0});
        long echoed = 0;
        const std::vector<double> minimal =
            udpRoundTripsUs(client, request, echo.address(), kCount, &echoed);
        if (minimal.empty()) return state.SkipWithError("no echo");
        state.counters["p50_us"] = percentile(korvane, 0.50);
        state.counters["p99_us"] = percentile(korvane, 0.99);
        state.counters["echo_p50_us"] = percentile(minimal, 0.50);
        state.counters["p50_ratio"] = percentile(korvane, 0.50) / percentile(minimal, 0.50);
    }
}
BENCHMARK(BM_InterrogatedUdpRoundTrip)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Processor time of the whole process while only the link works, as a
// percentage of one core.
void BM_IdleInterrogatedUdpCpu(benchmark::State& state) {
    Loopback link;
    if (!link.start(kMediumUdp, 1)) return state.SkipWithError("link did not start");
    for (auto _ : state) {
        const double before = processCpuSeconds();
        std::this_thread::sleep_for(kCpuWindow);
        state.counters["cpu_percent"] = 100.0 * (processCpuSeconds() - before) /
                                        std::chrono::duration<double>(kCpuWindow).count();
    }
}
BENCHMARK(BM_IdleInterrogatedUdpCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Streaming at the shortest interval: processor time, and how much longer
// than the interval the period between frames is.
void BM_StreamingUdpPeriodAndCpu(benchmark::State& state) {
    UdpSocket receiver = *UdpSocket::open();
    if (!receiver.bind(kLinkPort)) return state.SkipWithError("port 5001 busy");
    Loopback link;
    if (!link.start(kMediumUdp, 0, 0.5f)) return state.SkipWithError("link did not start");
    char buffer[65536];
    for (auto _ : state) {
        std::vector<Clock::time_point> arrivals;
        const double before = processCpuSeconds();
        const auto end = Clock::now() + kCpuWindow;
        while (Clock::now() < end) {
            if (receiver.waitReadable(100ms) &&
                receiver.receiveFrom(buffer, sizeof buffer).length > 0)
                arrivals.push_back(Clock::now());
        }
        state.counters["cpu_percent"] = 100.0 * (processCpuSeconds() - before) /
                                        std::chrono::duration<double>(kCpuWindow).count();
        if (arrivals.size() < 2) return state.SkipWithError("too few frames");
        const double meanMs =
            std::chrono::duration<double, std::milli>(arrivals.back() - arrivals.front()).count() /
            static_cast<double>(arrivals.size() - 1);
        state.counters["period_minus_interval_ms"] = meanMs - 500.0;
        state.counters["frames"] = static_cast<double>(arrivals.size());
    }
}
BENCHMARK(BM_StreamingUdpPeriodAndCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// startLink(0) on a running link of each kind: 0 streaming UDP, 1 interrogated
// UDP, 2 streaming RS-232, 3 interrogated RS-232 (on a pseudo-terminal named
// COM1 in a scratch working directory).
void BM_StopRunningLink(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const int32_t medium = kind < 2 ? kMediumUdp : kMediumRs232;
    const int32_t interrogated = kind % 2;
    const std::filesystem::path oldFolder = std::filesystem::current_path();
    char pattern[] = "/tmp/korvane-bench-XXXXXX";
    const std::filesystem::path folder = ::mkdtemp(pattern);
    std::filesystem::current_path(folder);
    int master = -1;
    int slave = -1;
    char name[256];
    ::openpty(&master, &slave, name, nullptr, nullptr);
    ::close(slave);
    std::filesystem::create_symlink(name, folder / "COM1");
    {
        Loopback link;
        link.shared.link.comPort = 1;
        std::vector<double> millis;
        for (auto _ : state) {
            state.PauseTiming();
            if (!link.start(medium, interrogated, 60.0f)) {
                state.SkipWithError(link.ui.lastError.c_str());
                break;
            }
            // Let it settle into its loop; the odd step spreads the stop
            // request over the phases of the link's own waits.
            std::this_thread::sleep_for(200ms + 7ms * millis.size());
            state.ResumeTiming();
            const auto asked = Clock::now();
            startLink(link.shared, link.control, link.ui, kMediumNone);
            millis.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - asked).count());
        }
        if (!millis.empty())
            state.counters["max_ms"] = *std::max_element(millis.begin(), millis.end());
    }
    ::close(master);
    std::filesystem::current_path(oldFolder);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_StopRunningLink)
    ->DenseRange(0, 3)
    ->Iterations(10)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
