#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "replay/recording_lines.h"
#include "replay/recording_reader.h"
#include "text/number_text.h"

namespace korvane {
namespace {

constexpr std::size_t kFileBytes = 50u << 20;

// Writes a file of about kFileBytes once per run, line after line from `line`.
template <typename MakeLine>
std::string generated(const char* name, const std::string& first, MakeLine line) {
    const auto path = std::filesystem::temp_directory_path() / name;
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    std::size_t written = std::fwrite(first.data(), 1, first.size(), file);
    for (int i = 0; written < kFileBytes; ++i) {
        const std::string text = line(i);
        written += std::fwrite(text.data(), 1, text.size(), file);
    }
    std::fclose(file);
    return path.string();
}

void readThrough(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        auto opened = RecordingReader::open(path);
        auto& reader = std::get<RecordingReader>(opened);
        RecordedFrame frame;
        std::size_t frames = 0;
        while (reader.next(frame)) ++frames;
        benchmark::DoNotOptimize(frames);
        if (reader.damaged() != 0) state.SkipWithError("the generated file reads as damaged");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}

// A frame a second as a typical rig sends it, recorded as Korvane writes it.
void BM_ReadJsonLines(benchmark::State& state) {
    const auto path = generated("korvane-bench.jsonl", noteLine(0, "bench"), [](int i) {
        const std::string frame =
            "&&\r\n1984KVT\r\n!!\r\n&&\r\n0108" + formatFixed(1000 + i * 0.01, 4) + "\r\n0110" +
            formatFixed(1200 + i * 0.01, 4) + "\r\n012390.00\r\n012490.00\r\n012590.00\r\n0143" +
            formatFixed(i * 1.5, 1) + "\r\n!!\r\n";
        return frameLine(i, frame, "#1 127.0.0.1:40312");
    });
    readThrough(state, path);
}
BENCHMARK(BM_ReadJsonLines)->Unit(benchmark::kMillisecond);

// Ten channels a row, ISO times a second apart.
void BM_ReadCsv(benchmark::State& state) {
    const auto path =
        generated("korvane-bench.csv",
                  "time,0108 Bit Depth,0110 Hole Depth,0113 ROP,0116 Hook Load,0121 Pump "
                  "Pressure,0123 SPM 1,0124 SPM 2,0125 SPM 3,1201 Gas,Comment\n",
                  [](int i) {
                      char stamp[32];
                      std::snprintf(stamp, sizeof stamp, "2026-03-%02dT%02d:%02d:%02d",
                                    1 + i / 86400, i / 3600 % 24, i / 60 % 60, i % 60);
                      return std::string(stamp) + "," + formatFixed(1000 + i * 0.01, 2) + "," +
                             formatFixed(1200 + i * 0.01, 2) + ",35.5,182.4,2950,90,90,0," +
                             formatFixed(i % 100 * 0.1, 1) + ",\n";
                  });
    readThrough(state, path);
}
BENCHMARK(BM_ReadCsv)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
