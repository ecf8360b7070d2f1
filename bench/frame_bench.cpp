#include <benchmark/benchmark.h>

#include <cfloat>
#include <memory>
#include <vector>

#include "state/shared_state.h"
#include "tables/aux_track_ops.h"
#include "tables/extra_record_ops.h"
#include "wits/frame_builder.h"

namespace korvane {
namespace {

// A rig as operators usually run it: every item on, two aux tracks, three
// extraneous records in two WITS records.
std::unique_ptr<SharedState> typicalRig() {
    auto s = std::make_unique<SharedState>();
    SimState& sim = s->sim;
    sim.bitDepth = 12034.56f;
    sim.holeDepth = 12510.25f;
    for (int p = 0; p < kPumpCount; ++p) {
        sim.sendTotalStrokes[p] = 1;
        sim.totalStrokes[p] = 48211.75 + p;
    }
    sim.sendSimulatedGas = 1;
    sim.gasOutput = 37.5f;
    addAuxTrack(s->auxTracks, "0813", 0.0f, 100.0f);
    addAuxTrack(s->auxTracks, "1201", 2.0f, 10.0f);
    sim.transmitExtraRecords = 1;
    appendExtraRecord(s->extraRecords, 12, 8, 1.5f);
    appendExtraRecord(s->extraRecords, 1, 23, -3.25f);
    appendExtraRecord(s->extraRecords, 12, 9, 1000.0f);
    return s;
}

// The most the tables hold, with realistic values: 100 transmitting aux
// tracks and 100 extraneous records spread over 20 record numbers.
std::unique_ptr<SharedState> largestRig() {
    auto s = typicalRig();
    clearAuxTracks(s->auxTracks);
    clearExtraRecords(s->extraRecords);
    for (int i = 0; i < kAuxTrackSlots; ++i) {
        const int slot = addAuxTrack(s->auxTracks, "0145", -50.0f, 5000.0f + i);
        s->auxTracks.value[slot] = 1234.5f + 17.25f * i;
    }
    for (int i = 0; i < kExtraRecordSlots; ++i) {
        appendExtraRecord(s->extraRecords, 1 + i % 20, i, 0.5f * i - 20.0f);
    }
    return s;
}

// The widest numbers every field can hold, as the frame buffer is sized for.
std::unique_ptr<SharedState> widestRig() {
    auto s = largestRig();
    s->sim.bitDepth = s->sim.holeDepth = s->sim.gasOutput = -FLT_MAX;
    for (auto& t : s->sim.totalStrokes) t = -DBL_MAX;
    for (auto& v : s->auxTracks.value) v = -FLT_MAX;
    for (auto& r : s->extraRecords.extraRecords) r.value = -FLT_MAX;
    return s;
}

void runFrames(benchmark::State& state, SharedState& s) {
    std::vector<char> out(kFrameBufferSize);
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = buildFrame(s, out.data());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["frame_bytes"] = static_cast<double>(bytes);
}

void BM_TypicalFrame(benchmark::State& state) {
    auto s = typicalRig();
    runFrames(state, *s);
}
BENCHMARK(BM_TypicalFrame);

void BM_LargestFrame(benchmark::State& state) {
    auto s = largestRig();
    runFrames(state, *s);
}
BENCHMARK(BM_LargestFrame);

void BM_WidestFrame(benchmark::State& state) {
    auto s = widestRig();
    runFrames(state, *s);
}
BENCHMARK(BM_WidestFrame);

}  // namespace
}  // namespace korvane
