#pragma once

#include <atomic>
#include <cstdint>
#include <optional>

namespace korvane {

// Seven fixed choices each; the Drilling page lists them in this order.
inline constexpr int kListSize = 7;
inline constexpr float kRopList[kListSize] = {0.00f, 0.10f, 0.25f, 0.50f,
                                              0.75f, 1.00f, 2.00f};        // min/ft
inline constexpr float kSpmList[kListSize] = {90, 80, 70, 60, 50, 40, 0};  // strokes per minute
inline constexpr int kPumpCount = 3;

// clockState values.
inline constexpr int32_t kClockRunning = 0;
inline constexpr int32_t kClockStopRequested = 1;
inline constexpr int32_t kClockStopped = 2;
inline constexpr double kMostClockScale = 3600;

// The simulated rig. Guarded by dataMutex, except the few fields marked atomic,
// which a thread writes whole without taking the mutex.
struct SimState {
    int32_t ropChoice = 1;  // index into kRopList, or -1 for ropTyped
    float ropTyped = 0.0f;  // min/ft
    int32_t pumpSpmChoice[kPumpCount] = {0, 0, 0};
    int32_t pumpCirculating[kPumpCount] = {1, 1, 1};
    double totalStrokes[kPumpCount] = {0.0, 0.0, 0.0};
    float holeDepth = 0.0f;  // ft
    float bitDepth = 0.0f;   // ft
    float gasOutput = 100.0f;
    float gasMinimum = 0.0f;
    float gasMaximum = 100.0f;
    std::atomic<float> receivedGas{0.0f};  // written by the UDP links without the mutex
    int32_t dropHoleDepth = 0;
    int32_t dropBitDepth = 0;
    int32_t dropPumpSpm[kPumpCount] = {0, 0, 0};
    int32_t sendTotalStrokes[kPumpCount] = {0, 0, 0};
    int32_t sendSimulatedGas = 0;
    std::atomic<int32_t> transmitExtraRecords{0};  // written by the Options page without the mutex
    std::atomic<int32_t> clockState{kClockRunning};
    // Rig seconds per real second, for depths and stroke totals alone (1 to
    // kMostClockScale); written whole by a control channel without the mutex.
    std::atomic<double> clockScale{1.0};

    // Rate of penetration in force, min/ft. Only the seven choices, or -1 for
    // the typed rate, name one; a choice beyond the list gives 0 (no drilling).
    float rateOfPenetration() const {
        return ropChoice < 0 ? ropTyped : ropChoice < kListSize ? kRopList[ropChoice] : 0.0f;
    }

    // Strokes per minute chosen for a pump; nothing for a choice beyond the
    // seven, which names no rate. Circulation is the caller's concern.
    std::optional<float> pumpRate(int pump) const {
        const int32_t choice = pumpSpmChoice[pump];
        if (choice < 0 || choice >= kListSize) return std::nullopt;
        return kSpmList[choice];
    }
};

}  // namespace korvane
