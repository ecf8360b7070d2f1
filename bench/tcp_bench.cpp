// TCP link figures on loopback: a streaming server feeding 1,000 receivers,
// one receiver that never reads among 100 that do, interrogated round trips
// next to a minimal echo, and how soon a client is back with its receiver's
// server. Every connection stays on 127.0.0.1.

#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "faults/fault_plan.h"
#include "links/link_control.h"
#include "platform/tcp_socket.h"
#include "state/shared_state.h"
#include "wits/frame_builder.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using bench::dial;
using bench::NullUi;
using bench::percentile;
using bench::readExactly;

constexpr std::size_t kEmptyFrameBytes = 25;
constexpr int kFanOutReceivers = 1000;
constexpr int kHealthyReceivers = 100;
constexpr int kReceiverThreads = 2;
// The stalled receiver asks for a tiny receive buffer, as a receiver that
// never reads would end up with; the figure is then about Korvane's own
// queue and send buffer rather than the system's receive side.
constexpr int kStalledReceiveBuffer = 4096;
constexpr auto kFanOutWindow = 10500ms;
constexpr auto kStallBaselineWindow = 10000ms;
constexpr auto kStallLimit = 60s;
constexpr int kRoundTrips = 20000;

// A TCP link on 127.0.0.1, the port chosen by the system, frames as short as
// they come (every item switched off) unless widened.
struct TcpLoopback {
    SharedState shared;
    LinkControl control;
    NullUi ui;
    std::atomic<int> stalledNotes{0};

    TcpLoopback() {
        const int32_t loopback[4] = {127, 0, 0, 1};
        std::copy(loopback, loopback + 4, shared.link.tcpListenAddress);
        shared.link.tcpPort = 0;
        shared.link.tcpHost = "127.0.0.1";
        shared.link.tcpReceiverLimit = 4 * kFanOutReceivers;
        shared.sim.dropBitDepth = 1;
        shared.sim.dropHoleDepth = 1;
        for (int32_t& circulating : shared.sim.pumpCirculating) circulating = 0;
        control.onNews = [this](const std::string& note, NewsKind) {
            if (note.find("stopped reading") != std::string::npos) ++stalledNotes;
        };
    }
    ~TcpLoopback() { startLink(shared, control, ui, kMediumNone); }

    bool start(int32_t role, int32_t interrogated, float interval) {
        shared.link.tcpRole = role;
        shared.link.interrogated = interrogated;
        shared.link.transmitInterval = interval;
        startLink(shared, control, ui, kMediumTcp);
        return shared.link.medium == kMediumTcp;
    }
    uint16_t port() const { return static_cast<uint16_t>(control.localPort.load()); }

    // Every auxiliary track and extraneous record with long values; the frame's length.
    std::size_t widenFrames() {
        for (int slot = 0; slot < kAuxTrackSlots; ++slot) {
            AuxTrackTable& aux = shared.auxTracks;
            std::snprintf(aux.tag[slot], sizeof aux.tag[slot], "%04d", 5000 + slot);
            aux.value[slot] = -FLT_MAX;  // the widest number
            aux.transmit[slot] = aux.inUse[slot] = 1;
        }
        shared.auxTracks.auxTrackCount = kAuxTrackSlots;
        for (int k = 0; k < kExtraRecordSlots; ++k)
            shared.extraRecords.extraRecords[k] = {k, 1, 0, -FLT_MAX};
        shared.extraRecords.extraRecordCount = kExtraRecordSlots;
        shared.sim.transmitExtraRecords = 1;
        std::vector<char> frame(kFrameBufferSize);
        return buildFrame(shared, frame.data());
    }
};

void raiseDescriptorLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, std::min<rlim_t>(limit.rlim_max, 8192));
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

double cpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Empties every receiver just after a frame went out to all of them, so the
// frames counted afterwards are the same frames for every receiver.
void drainAfterAFrame(const std::vector<int>& fds, LinkControl& control, int32_t receivers) {
    const auto end = Clock::now() + 10s;
    while (control.receivers.load() != receivers && Clock::now() < end)
        std::this_thread::sleep_for(10ms);
    char buffer[1 << 16];
    while (::recv(fds[0], buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
    ::recv(fds[0], buffer, 1, MSG_PEEK);  // waits for the next frame
    std::this_thread::sleep_for(200ms);   // all of it, to every receiver
    for (int fd : fds)
        while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
}

// Receivers read by a few threads over epoll, noting when each frame of a
// known length has fully arrived.
class ReceiverFarm {
public:
    ReceiverFarm(std::vector<int> fds, std::size_t frameBytes)
        : fds_(std::move(fds)),
          frameBytes_(frameBytes),
          arrivals_(fds_.size()),
          received_(fds_.size(), 0) {
        for (int t = 0; t < kReceiverThreads; ++t) threads_.emplace_back([this, t] { run(t); });
    }
    ~ReceiverFarm() {
        stop_ = true;
        for (std::thread& thread : threads_) thread.join();
        for (int fd : fds_) ::close(fd);
    }
    // Processor time the reading threads used so far, in seconds.
    double cpuSeconds() const { return cpu_.load(); }
    // Frame k's arrival at receiver r, for every receiver that has frame k.
    const std::vector<std::vector<Clock::time_point>>& arrivals() const { return arrivals_; }
    std::size_t framesAtLeast() const {
        std::size_t least = SIZE_MAX;
        for (const auto& a : arrivals_) least = std::min(least, a.size());
        return least;
    }
    void freeze() {
        stop_ = true;
        for (std::thread& thread : threads_) thread.join();
        threads_.clear();
    }

private:
    void run(int slice) {
        const double before = korvane::cpuSeconds(RUSAGE_THREAD);
        const int poll = ::epoll_create1(EPOLL_CLOEXEC);
        for (std::size_t i = slice; i < fds_.size(); i += kReceiverThreads) {
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.u64 = i;
            ::epoll_ctl(poll, EPOLL_CTL_ADD, fds_[i], &event);
        }
        std::vector<epoll_event> events(512);
        std::vector<char> buffer(1 << 16);
        while (!stop_) {
            const int ready =
                ::epoll_wait(poll, events.data(), static_cast<int>(events.size()), 20);
            for (int e = 0; e < ready; ++e) {
                const std::size_t i = events[e].data.u64;
                const ssize_t n = ::recv(fds_[i], buffer.data(), buffer.size(), MSG_DONTWAIT);
                if (n <= 0) continue;
                const Clock::time_point now = Clock::now();
                received_[i] += static_cast<std::size_t>(n);
                while (received_[i] >= (arrivals_[i].size() + 1) * frameBytes_)
                    arrivals_[i].push_back(now);
            }
        }
        ::close(poll);
        double expected = cpu_.load();
        const double used = korvane::cpuSeconds(RUSAGE_THREAD) - before;
        while (!cpu_.compare_exchange_weak(expected, expected + used)) {
        }
    }

    std::vector<int> fds_;
    std::size_t frameBytes_;
    std::vector<std::vector<Clock::time_point>> arrivals_;
    std::vector<std::size_t> received_;
    std::vector<std::thread> threads_;
    std::atomic<bool> stop_{false};
    std::atomic<double> cpu_{0.0};
};

// Per frame, the time from the first receiver having it to the last.
std::vector<double> spreadsMs(const std::vector<std::vector<Clock::time_point>>& arrivals,
                              std::size_t frames) {
    std::vector<double> spreads;
    for (std::size_t k = 0; k < frames; ++k) {
        Clock::time_point first = Clock::time_point::max();
        Clock::time_point last = Clock::time_point::min();
        for (const auto& a : arrivals) {
            first = std::min(first, a[k]);
            last = std::max(last, a[k]);
        }
        spreads.push_back(millis(last - first));
    }
    return spreads;
}

// The floor under any fan-out on this machine: one plain loop of 25-byte
// sends to 1,000 loopback connections that nobody reads, in milliseconds.
std::vector<double> bareSendLoopsMs(int loops) {
    std::optional<TcpListener> listener = TcpListener::listen({{127, 0, 0, 1}, 0});
    if (!listener) return {};
    std::vector<int> near;
    std::vector<TcpConnection> far;
    for (int i = 0; i < kFanOutReceivers; ++i) {
        near.push_back(dial(listener->localAddress()->port));
        std::optional<TcpConnection> taken;
        while (!(taken = listener->accept())) std::this_thread::sleep_for(1ms);
        far.push_back(std::move(*taken));
    }
    const char frame[kEmptyFrameBytes] = {};
    std::vector<double> loops_ms;
    for (int loop = 0; loop < loops; ++loop) {
        const auto began = Clock::now();
        for (TcpConnection& connection : far) connection.send(frame, sizeof frame);
        loops_ms.push_back(millis(Clock::now() - began));
        std::this_thread::sleep_for(100ms);
    }
    for (int fd : near) ::close(fd);
    return loops_ms;
}

// With argument 1, every fault on: the shares at 10 %, and a delay, a split,
// mixed line ends and a stall besides (a disconnect would take the receivers away).
void BM_TcpFanOut1000Receivers(benchmark::State& state) {
    raiseDescriptorLimit();
    TcpLoopback link;
    if (state.range(0) == 1) {
        FaultPlan plan;
        plan.seed = 1;
        for (const char* fault :
             {"drop=10", "duplicate=10", "corrupt=10", "noise=10", "truncate=10", "bad-value=10",
              "reorder=10", "delay=10:10", "split=3:5", "line-ends=mixed", "stall=1:10"})
            readFault(fault, plan);
        link.control.faults.set(plan);
    }
    if (!link.start(kTcpServer, 0, 1.0f)) return state.SkipWithError(link.ui.lastError.c_str());
    std::vector<int> fds;
    for (int i = 0; i < kFanOutReceivers; ++i) {
        const int fd = dial(link.port());
        if (fd < 0) return state.SkipWithError("could not connect a receiver");
        fds.push_back(fd);
    }
    for (auto _ : state) {
        drainAfterAFrame(fds, link.control, kFanOutReceivers);
        const double processBefore = cpuSeconds(RUSAGE_SELF);
        const double mainBefore = cpuSeconds(RUSAGE_THREAD);
        ReceiverFarm farm(fds, kEmptyFrameBytes);
        std::this_thread::sleep_for(kFanOutWindow);
        farm.freeze();
        const double linkCpu = (cpuSeconds(RUSAGE_SELF) - processBefore) -
                               (cpuSeconds(RUSAGE_THREAD) - mainBefore) - farm.cpuSeconds();
        const std::size_t frames = farm.framesAtLeast();
        std::size_t most = 0;
        for (const auto& a : farm.arrivals()) most = std::max(most, a.size());
        const std::vector<double> spreads = spreadsMs(farm.arrivals(), frames);
        state.counters["receivers"] = link.control.receivers.load();
        state.counters["frames_every_receiver_got"] = static_cast<double>(frames);
        state.counters["frames_most_got"] = static_cast<double>(most);
        state.counters["link_cpu_percent"] =
            100.0 * linkCpu / std::chrono::duration<double>(kFanOutWindow).count();
        state.counters["spread_p50_ms"] = percentile(spreads, 0.50);
        state.counters["spread_p99_ms"] = percentile(spreads, 0.99);
        state.counters["spread_max_ms"] = percentile(spreads, 1.0);
        fds.clear();  // the farm closes them
        const std::vector<double> floor = bareSendLoopsMs(10);
        state.counters["bare_send_loop_p50_ms"] = percentile(floor, 0.50);
        state.counters["bare_send_loop_max_ms"] = percentile(floor, 1.0);
    }
}
BENCHMARK(BM_TcpFanOut1000Receivers)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// Lateness of every healthy receiver's frames against the link's beat: frame
// k is due at anchor + k beats, the anchor being the median over the frames of
// each one's earliest arrival less its place in the beat.
std::vector<double> latenessMs(const std::vector<std::vector<Clock::time_point>>& arrivals,
                               std::size_t frames, Clock::duration beat) {
    std::vector<double> offsets;
    const Clock::time_point origin = arrivals[0][0];
    for (std::size_t k = 0; k < frames; ++k) {
        Clock::time_point first = Clock::time_point::max();
        for (const auto& a : arrivals) first = std::min(first, a[k]);
        offsets.push_back(millis(first - origin - beat * static_cast<long>(k)));
    }
    const double anchor = percentile(offsets, 0.5);
    std::vector<double> lateness;
    for (const auto& a : arrivals)
        for (std::size_t k = 0; k < frames; ++k)
            lateness.push_back(millis(a[k] - origin - beat * static_cast<long>(k)) - anchor);
    return lateness;
}

void BM_TcpOneStalledReceiverAmong100(benchmark::State& state) {
    TcpLoopback link;
    const std::size_t frameBytes = link.widenFrames();
    constexpr float kInterval = 0.5f;
    const auto beat = std::chrono::duration_cast<Clock::duration>(500ms);
    if (!link.start(kTcpServer, 0, kInterval)) return state.SkipWithError("link did not start");
    for (auto _ : state) {
        std::vector<double> baseline;
        std::vector<double> stalledRun;
        double secondsToDisconnect = -1.0;
        for (bool withStalled : {false, true}) {
            std::vector<int> fds;
            for (int i = 0; i < kHealthyReceivers; ++i) fds.push_back(dial(link.port()));
            if (std::find(fds.begin(), fds.end(), -1) != fds.end())
                return state.SkipWithError("could not connect a receiver");
            drainAfterAFrame(fds, link.control, kHealthyReceivers);
            ReceiverFarm farm(fds, frameBytes);
            const int stalled = withStalled ? dial(link.port(), kStalledReceiveBuffer) : -1;
            const auto began = Clock::now();
            if (withStalled) {
                while (link.stalledNotes.load() == 0 && Clock::now() - began < kStallLimit)
                    std::this_thread::sleep_for(10ms);
                if (link.stalledNotes.load() > 0)
                    secondsToDisconnect =
                        std::chrono::duration<double>(Clock::now() - began).count();
                std::this_thread::sleep_for(1s);  // frames after the disconnection count too
            } else {
                std::this_thread::sleep_for(kStallBaselineWindow);
            }
            farm.freeze();
            const std::size_t frames = farm.framesAtLeast();
            (withStalled ? stalledRun : baseline) = latenessMs(farm.arrivals(), frames, beat);
            if (stalled >= 0) ::close(stalled);
        }
        const double extra = percentile(stalledRun, 0.99) - percentile(baseline, 0.99);
        state.counters["frame_bytes"] = static_cast<double>(frameBytes);
        state.counters["healthy_lateness_p99_ms_alone"] = percentile(baseline, 0.99);
        state.counters["healthy_lateness_p99_ms_with_stalled"] = percentile(stalledRun, 0.99);
        state.counters["healthy_extra_delay_p99_ms"] = extra;
        state.counters["stalled_disconnected_after_s"] = secondsToDisconnect;
    }
}
BENCHMARK(BM_TcpOneStalledReceiverAmong100)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The smallest TCP echo: one connection, each read written straight back.
class MinimalEcho {
public:
    MinimalEcho() : listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        ::listen(listener_, 1);
        socklen_t size = sizeof local;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&local), &size);
        port_ = ntohs(local.sin_port);
        thread_ = std::thread([this] {
            const int fd = ::accept(listener_, nullptr, nullptr);
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            char buffer[4096];
            for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
                ::send(fd, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL);
            ::close(fd);
        });
    }
    ~MinimalEcho() {
        thread_.join();
        ::close(listener_);
    }
    uint16_t port() const { return port_; }

private:
    int listener_;
    uint16_t port_ = 0;
    std::thread thread_;
};

// Round trips of `request`, each waiting for an answer of `answerBytes`.
std::vector<double> roundTripsUs(int fd, const std::string& request, std::size_t answerBytes,
                                 double* perSecond) {
    std::vector<double> micros;
    micros.reserve(kRoundTrips);
    std::vector<char> answer(answerBytes);
    const auto began = Clock::now();
    for (int i = 0; i < kRoundTrips; ++i) {
        const auto sent = Clock::now();
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
                static_cast<ssize_t>(request.size()) ||
            !readExactly(fd, answer.data(), answerBytes))
            return {};
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
    }
    *perSecond = kRoundTrips / std::chrono::duration<double>(Clock::now() - began).count();
    return micros;
}

void BM_TcpInterrogatedRoundTripAgainstEcho(benchmark::State& state) {
    const std::string request = "&&\r\n0111-9999\r\n!!\r\n";
    for (auto _ : state) {
        double echoRate = 0.0;
        std::vector<double> echo;
        {
            MinimalEcho server;
            const int fd = dial(server.port());
            // The echo answers with as many bytes as the link's frame has.
            const std::string padded =
                request + std::string(kEmptyFrameBytes - request.size(), '.');
            echo = roundTripsUs(fd, padded, padded.size(), &echoRate);
            ::close(fd);
        }
        TcpLoopback link;
        if (!link.start(kTcpServer, 1, 3.0f)) return state.SkipWithError("link did not start");
        const int fd = dial(link.port());
        double linkRate = 0.0;
        const std::vector<double> korvane = roundTripsUs(fd, request, kEmptyFrameBytes, &linkRate);
        ::close(fd);
        if (echo.empty() || korvane.empty()) return state.SkipWithError("a round trip failed");
        state.counters["echo_p50_us"] = percentile(echo, 0.50);
        state.counters["echo_p99_us"] = percentile(echo, 0.99);
        state.counters["korvane_p50_us"] = percentile(korvane, 0.50);
        state.counters["korvane_p99_us"] = percentile(korvane, 0.99);
        state.counters["p50_ratio"] = percentile(korvane, 0.50) / percentile(echo, 0.50);
        state.counters["korvane_requests_per_s"] = linkRate;
        state.counters["echo_requests_per_s"] = echoRate;
    }
}
BENCHMARK(BM_TcpInterrogatedRoundTripAgainstEcho)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The receiver's server goes away for a while and comes back on the same
// port: how long until Korvane is connected again, and until its first frame
// (streaming every 60 s, so the frame that comes is the one sent at once).
void BM_TcpClientReconnect(benchmark::State& state) {
    const auto away = std::chrono::milliseconds(state.range(0));
    std::optional<TcpListener> listener = TcpListener::listen({{127, 0, 0, 1}, 0});
    if (!listener) return state.SkipWithError("no listener");
    const Ipv4Address address = *listener->localAddress();
    TcpLoopback link;
    link.shared.link.tcpPort = address.port;
    if (!link.start(kTcpClient, 0, 60.0f)) return state.SkipWithError("link did not start");
    const auto acceptWithin = [&](Clock::duration patience) -> std::optional<TcpConnection> {
        const auto end = Clock::now() + patience;
        while (Clock::now() < end) {
            SocketPoll poll;
            const std::size_t index = poll.add(*listener);
            if (poll.wait(5ms) && poll.readable(index))
                if (auto taken = listener->accept()) return taken;
        }
        return std::nullopt;
    };
    std::optional<TcpConnection> server = acceptWithin(5s);
    std::vector<double> reconnect;
    std::vector<double> firstFrame;
    for (auto _ : state) {
        if (!server) return state.SkipWithError("no connection");
        server->close();
        listener->close();
        std::this_thread::sleep_for(away);
        listener = TcpListener::listen(address);
        const auto back = Clock::now();
        server = acceptWithin(15s);
        if (!server) return state.SkipWithError("no reconnection");
        const auto connected = Clock::now();
        char buffer[kEmptyFrameBytes];
        std::size_t got = 0;
        while (got < sizeof buffer && Clock::now() - connected < 2s) {
            SocketPoll poll;
            const std::size_t index = poll.add(*server, false);
            if (poll.wait(5ms) && poll.readable(index))
                got += server->receive(buffer + got, sizeof buffer - got).bytes;
        }
        if (got < sizeof buffer) return state.SkipWithError("no frame at once");
        reconnect.push_back(millis(connected - back));
        firstFrame.push_back(millis(Clock::now() - connected));
    }
    state.counters["back_to_connected_ms"] = percentile(reconnect, 1.0);
    state.counters["connected_to_first_frame_ms"] = percentile(firstFrame, 1.0);
}
// Away for less than the first pause, between the first and second, and
// beyond the second: reconnected 1 s, 3 s and 7 s after the loss.
BENCHMARK(BM_TcpClientReconnect)
    ->Arg(300)
    ->Arg(1500)
    ->Arg(3500)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
