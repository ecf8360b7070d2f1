#pragma once

// faults/: the faults a link can be told to make on purpose, the way real
// rig links misbehave, and how one frame is shaped by them. Standard C++
// only, no clock of its own and no I/O: the links apply it per receiver.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// Every fault, in the order they are listed to the operator.
enum class FaultKind {
    drop,
    duplicate,
    delay,
    split,
    corrupt,
    noise,
    truncate,
    badValue,
    lineEnds,
    stall,
    disconnect,
    reorder,
};
inline constexpr std::size_t kFaultKinds = 12;
inline constexpr std::array<FaultKind, kFaultKinds> kAllFaults = {
    FaultKind::drop,     FaultKind::duplicate, FaultKind::delay,      FaultKind::split,
    FaultKind::corrupt,  FaultKind::noise,     FaultKind::truncate,   FaultKind::badValue,
    FaultKind::lineEnds, FaultKind::stall,     FaultKind::disconnect, FaultKind::reorder,
};

// "drop", "bad-value", ...: the name in --fault and in the counts.
std::string_view faultName(FaultKind kind);

enum class LineEnds { crlf, lf, cr, mixed };

// Which faults are on, and how. A share is the percentage of frames hit
// (0 to 100, decimals allowed); 0 is off. Every other fault is off at 0.
struct FaultPlan {
    double drop = 0;
    double duplicate = 0;
    int delayMs = 0;
    int delayJitterMs = 0;
    int splitPieces = 0;  // 2 or more: every frame in that many pieces
    int splitGapMs = 0;
    double corrupt = 0;
    double noise = 0;
    double truncate = 0;
    double badValue = 0;
    LineEnds lineEnds = LineEnds::crlf;
    double stallSeconds = 0;  // with stallEvery: quiet this long...
    double stallEvery = 0;    // ...every this many seconds
    double disconnectEvery = 0;
    double reorder = 0;
    // Fixes every random choice: the same seed and frames, the same faults.
    uint64_t seed = 0;

    bool on(FaultKind kind) const;
    bool anyOn() const;
    bool operator==(const FaultPlan&) const = default;
};

// Reads one fault as the command line gives it ("drop=5%", "split=3:20",
// "line-ends=lf") into `plan`, leaving the others as they are. Empty when it
// was read; else what is wrong, naming the accepted form:
// "drop=x: expected drop=P% with P from 0 to 100". `plan` is unchanged then.
std::string readFault(std::string_view text, FaultPlan& plan);

// The fault as readFault reads it back ("split=3:20"); empty when it is off.
std::string faultText(const FaultPlan& plan, FaultKind kind);
// Every fault that is on, in order.
std::vector<std::string> faultTexts(const FaultPlan& plan);

// The accepted form of each fault, as readFault's messages and --help give it.
std::string_view faultForm(FaultKind kind);

}  // namespace korvane
