// A recording played over a TCP server on loopback: how well it keeps its
// schedule at speed 1, and how many frames a second it sends as fast as
// taken, next to a minimal sender writing the same frames in the same run.
// Also the start and the memory of a 1 GB recording. Everything stays on
// 127.0.0.1; the files go to the system's temporary folder.

#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "links/link_control.h"
#include "links/recorded_source.h"
#include "replay/recording_lines.h"
#include "state/shared_state.h"

namespace korvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Every frame as long as the others, so a receiver reads them whole.
std::string numberedFrame(long i) {
    char number[24];
    std::snprintf(number, sizeof number, "%010ld", i);
    return std::string("&&\r\n1984KVT\r\n!!\r\n&&\r\n0108") + number + "\r\n01101234.5\r\n!!\r\n";
}
const std::size_t kFrameBytes = numberedFrame(0).size();

std::filesystem::path writeRecording(const char* name, long frames, double gap) {
    const auto path = std::filesystem::temp_directory_path() / name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (long i = 0; i < frames; ++i)
        out << frameLine(static_cast<double>(i) * gap, numberedFrame(i));
    return path;
}

std::shared_ptr<RecordedSource> recordingOf(const std::filesystem::path& path,
                                            PlayOptions options) {
    return openRecording(path.string(), options).recording;
}

// A streaming TCP server on 127.0.0.1 with one receiver connected, the rig's
// greeting already read.
struct PlayingServer {
    SharedState shared;
    LinkControl control;
    bench::NullUi ui;
    int receiver = -1;

    bool start() {
        const int32_t loopback[4] = {127, 0, 0, 1};
        std::copy(loopback, loopback + 4, shared.link.tcpListenAddress);
        shared.link.tcpPort = 0;
        shared.link.tcpRole = kTcpServer;
        shared.link.interrogated = 0;
        shared.link.transmitInterval = 60.0f;  // the rig stays quiet meanwhile
        startLink(shared, control, ui, kMediumTcp);
        if (shared.link.medium != kMediumTcp) return false;
        receiver = bench::dial(static_cast<uint16_t>(control.localPort.load()));
        const auto end = Clock::now() + 5s;
        while (control.receivers.load() != 1 && Clock::now() < end)
            std::this_thread::sleep_for(5ms);
        std::this_thread::sleep_for(100ms);
        char buffer[4096];
        while (::recv(receiver, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
        }
        return receiver >= 0 && control.receivers.load() == 1;
    }
    ~PlayingServer() {
        if (receiver >= 0) ::close(receiver);
        startLink(shared, control, ui, kMediumNone);
    }
};

double envSeconds(const char* name, double fallback) {
    const char* text = std::getenv(name);
    return text ? std::atof(text) : fallback;
}

// KORVANE_REPLAY_PACE_SECONDS sets how long (600 s, ten minutes, by default).
void BM_ReplayPaceAtSpeedOne(benchmark::State& state) {
    constexpr double kGap = 0.5;
    const double seconds = envSeconds("KORVANE_REPLAY_PACE_SECONDS", 600.0);
    const long frames = static_cast<long>(seconds / kGap) + 1;
    const auto path = writeRecording("korvane-bench-pace.jsonl", frames, kGap);
    for (auto _ : state) {
        PlayingServer server;
        if (!server.start()) return state.SkipWithError("link did not start");
        server.control.feed.play(recordingOf(path, {}));
        std::vector<Clock::time_point> arrived;
        std::string frame(kFrameBytes, '\0');
        for (long i = 0;
             i < frames && bench::readExactly(server.receiver, frame.data(), kFrameBytes); ++i)
            arrived.push_back(Clock::now());
        if (arrived.size() != static_cast<std::size_t>(frames))
            return state.SkipWithError("frames went missing");
        std::vector<double> lateMs;
        for (std::size_t i = 0; i < arrived.size(); ++i)
            lateMs.push_back(std::chrono::duration<double, std::milli>(
                                 arrived[i] - arrived[0] - std::chrono::duration<double>(kGap * i))
                                 .count());
        const std::size_t tenth = std::max<std::size_t>(1, lateMs.size() / 10);
        double first = 0, last = 0;
        for (std::size_t i = 0; i < tenth; ++i) {
            first += lateMs[i] / tenth;
            last += lateMs[lateMs.size() - 1 - i] / tenth;
        }
        state.counters["frames"] = static_cast<double>(frames);
        state.counters["late_p50_ms"] = bench::percentile(lateMs, 0.50);
        state.counters["late_p99_ms"] = bench::percentile(lateMs, 0.99);
        state.counters["late_max_ms"] = bench::percentile(lateMs, 1.0);
        state.counters["drift_ms"] = last - first;  // last tenth against the first
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReplayPaceAtSpeedOne)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// Frames a receiver gets in `window` on `fd`.
double framesPerSecond(int fd, std::chrono::milliseconds window) {
    std::vector<char> buffer(1 << 16);
    std::size_t bytes = 0;
    const auto began = Clock::now();
    while (Clock::now() - began < window) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        bytes += static_cast<std::size_t>(n);
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - began).count();
    return static_cast<double>(bytes / kFrameBytes) / elapsed;
}

// The least a sender can do: write each frame to the socket as it is.
struct MinimalSender {
    int listener = -1;
    uint16_t port = 0;
    std::atomic<bool> stop{false};
    std::thread thread;

    explicit MinimalSender(const std::vector<std::string>& frames) {
        listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener, reinterpret_cast<const sockaddr*>(&local), sizeof local);
        ::listen(listener, 1);
        socklen_t size = sizeof local;
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&local), &size);
        port = ntohs(local.sin_port);
        thread = std::thread([this, &frames] {
            const int fd = ::accept(listener, nullptr, nullptr);
            for (std::size_t i = 0; !stop.load(); i = (i + 1) % frames.size())
                if (::send(fd, frames[i].data(), frames[i].size(), MSG_NOSIGNAL) < 0) break;
            ::close(fd);
        });
    }
    ~MinimalSender() {
        stop.store(true);
        thread.join();
        ::close(listener);
    }
};

void BM_ReplayAsFastAsTakenAgainstAMinimalSender(benchmark::State& state) {
    constexpr long kFrames = 200'000;
    constexpr auto kWindow = 3000ms;
    const auto path = writeRecording("korvane-bench-max.jsonl", kFrames, 0.001);
    std::vector<std::string> frames;
    for (long i = 0; i < 10'000; ++i) frames.push_back(numberedFrame(i));
    for (auto _ : state) {
        double minimal = 0;
        {
            MinimalSender sender(frames);
            const int fd = bench::dial(sender.port);
            minimal = framesPerSecond(fd, kWindow);
            sender.stop.store(true);
            ::close(fd);
        }
        PlayingServer server;
        if (!server.start()) return state.SkipWithError("link did not start");
        PlayOptions fastest;
        fastest.asFastAsTaken = true;
        fastest.loop = true;  // however fast it goes, it does not run out
        server.control.feed.play(recordingOf(path, fastest));
        const double korvane = framesPerSecond(server.receiver, kWindow);
        state.counters["minimal_frames_per_s"] = minimal;
        state.counters["korvane_frames_per_s"] = korvane;
        state.counters["ratio"] = korvane / minimal;
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReplayAsFastAsTakenAgainstAMinimalSender)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// How long a 1 GB recording takes to give its first frame, and what reading
// it costs in resident memory.
void BM_ReplayStartAndMemoryOfAGigabyte(benchmark::State& state) {
    const long frames = (1L << 30) / static_cast<long>(frameLine(0, numberedFrame(0)).size());
    const auto path = writeRecording("korvane-bench-1gb.jsonl", frames, 0.5);
    for (auto _ : state) {
        const long before = residentKiB();
        const auto began = Clock::now();
        PlayOptions fastest;
        fastest.asFastAsTaken = true;
        const auto recording = recordingOf(path, fastest);
        FramePieces pieces;
        if (!recording || !recording->framesNow(pieces, Ask::beat))
            return state.SkipWithError("no first frame");
        state.counters["first_frame_ms"] =
            std::chrono::duration<double, std::milli>(Clock::now() - began).count();
        long played = 1;
        while (recording->framesNow(pieces, Ask::beat)) ++played;
        state.counters["frames"] = static_cast<double>(played);
        state.counters["added_rss_mib"] = static_cast<double>(residentKiB() - before) / 1024.0;
        state.counters["file_mib"] =
            static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_ReplayStartAndMemoryOfAGigabyte)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
