// Fault timing on loopback: how close a delayed answer and a split frame's
// pieces leave to the times asked for, on an interrogated UDP link (a
// datagram per piece) and an interrogated TCP server (a write per piece).
// Every packet stays on 127.0.0.1.

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "faults/fault_plan.h"
#include "links/link_control.h"
#include "links/udp_links.h"
#include "platform/udp_socket.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using bench::percentile;

constexpr int kRequests = 200;
constexpr double kDelayMs = 50;
constexpr double kGapMs = 20;
const std::string kRequest = "&&\r\n0140 5\r\n!!\r\n";

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct FaultedLink {
    SharedState shared;
    LinkControl control;
    bench::NullUi ui;

    bool start(int32_t medium, const char* fault) {
        FaultPlan plan;
        plan.seed = 1;
        if (!readFault(fault, plan).empty()) return false;
        control.faults.set(plan);
        const int32_t loopback[4] = {127, 0, 0, 1};
        std::copy(loopback, loopback + 4, shared.link.ipAddress);
        shared.link.interrogated = 1;
        shared.link.tcpRole = kTcpServer;
        shared.link.tcpPort = 0;
        shared.link.tcpListenAddress[0] = 127, shared.link.tcpListenAddress[3] = 1;
        startLink(shared, control, ui, medium);
        return shared.link.medium == medium;
    }
    ~FaultedLink() { startLink(shared, control, ui, kMediumNone); }
};

// Arrival times of the pieces of each answer, `pieces` to an answer.
using Arrivals = std::vector<std::vector<Clock::time_point>>;

// For each request: when it was sent, and when each piece of its answer came.
template <typename Send, typename Receive>
std::optional<std::pair<std::vector<Clock::time_point>, Arrivals>> askAll(Send send,
                                                                          Receive receive,
                                                                          int pieces) {
    std::vector<Clock::time_point> asked;
    Arrivals arrivals;
    for (int i = 0; i < kRequests; ++i) {
        asked.push_back(Clock::now());
        send();
        arrivals.emplace_back();
        for (int p = 0; p < pieces; ++p) {
            if (!receive()) return std::nullopt;
            arrivals.back().push_back(Clock::now());
        }
    }
    return std::make_pair(asked, arrivals);
}

// |lateness| against the asked delay, and against the asked gap between pieces.
void report(benchmark::State& state, const std::vector<Clock::time_point>& asked,
            const Arrivals& delayed, const Arrivals& split) {
    std::vector<double> delayError, gapError;
    for (std::size_t i = 0; i < asked.size(); ++i)
        delayError.push_back(std::fabs(ms(delayed[i][0] - asked[i]) - kDelayMs));
    for (const auto& pieces : split)
        for (std::size_t p = 1; p < pieces.size(); ++p)
            gapError.push_back(std::fabs(ms(pieces[p] - pieces[p - 1]) - kGapMs));
    state.counters["delay_error_p50_ms"] = percentile(delayError, 0.50);
    state.counters["delay_error_p99_ms"] = percentile(delayError, 0.99);
    state.counters["gap_error_p50_ms"] = percentile(gapError, 0.50);
    state.counters["gap_error_p99_ms"] = percentile(gapError, 0.99);
}

// One client of a link: asks, and takes one piece of an answer.
struct Asker {
    std::function<void()> ask;
    std::function<bool()> take;
};

// The delay run, then the split run, each on a link of its own; `client`
// makes the client of a link once it is up.
void timeFaults(benchmark::State& state, int32_t medium,
                const std::function<std::optional<Asker>(FaultedLink&)>& client) {
    for (auto _ : state) {
        Arrivals results[2];
        std::vector<Clock::time_point> asked;
        const char* faults[2] = {"delay=50", "split=3:20"};
        for (int f = 0; f < 2; ++f) {
            FaultedLink link;
            if (!link.start(medium, faults[f])) return state.SkipWithError("link did not start");
            const std::optional<Asker> asker = client(link);
            if (!asker) return state.SkipWithError("could not connect");
            auto got = askAll(asker->ask, asker->take, f == 0 ? 1 : 3);
            if (!got) return state.SkipWithError("no answer");
            if (f == 0) asked = got->first;
            results[f] = got->second;
        }
        report(state, asked, results[0], results[1]);
    }
}

void BM_FaultTimingUdp(benchmark::State& state) {
    std::optional<UdpSocket> socket;
    timeFaults(state, kMediumUdp, [&](FaultedLink&) -> std::optional<Asker> {
        socket = UdpSocket::open();
        socket->bind(Ipv4Address{{127, 0, 0, 1}, 0});
        return Asker{[&] {
                         const Ipv4Address to{{127, 0, 0, 1}, kWitsUdpPort};
                         socket->sendTo(kRequest.data(), kRequest.size(), to);
                     },
                     [&] {
                         char buffer[65536];
                         return socket->waitReadable(1000ms) &&
                                socket->receiveFrom(buffer, sizeof buffer).length > 0;
                     }};
    });
}
BENCHMARK(BM_FaultTimingUdp)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// A piece is whatever one receive brings; the gap keeps them apart.
void BM_FaultTimingTcp(benchmark::State& state) {
    int fd = -1;
    timeFaults(state, kMediumTcp, [&](FaultedLink& link) -> std::optional<Asker> {
        if (fd >= 0) ::close(fd);
        fd = bench::dial(static_cast<uint16_t>(link.control.localPort.load()));
        if (fd < 0) return std::nullopt;
        return Asker{[&] { ::send(fd, kRequest.data(), kRequest.size(), 0); },
                     [&] {
                         char buffer[65536];
                         return ::recv(fd, buffer, sizeof buffer, 0) > 0;
                     }};
    });
    if (fd >= 0) ::close(fd);
}
BENCHMARK(BM_FaultTimingTcp)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
