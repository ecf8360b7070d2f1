#pragma once

#include <cstdint>

namespace korvane {

// The random choices of the faults: SplitMix64, small, fast and the same on
// every system and compiler (the standard distributions are not), so a seed
// repeats a run anywhere.
class FaultRandom {
public:
    explicit FaultRandom(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 to bound - 1; 0 for a bound of 0. The bias is far below anything a
    // test could see (bounds are frame sizes and milliseconds).
    uint64_t below(uint64_t bound) { return bound == 0 ? 0 : next() % bound; }
    // True for `percent` of the draws, to a thousandth of a percent.
    bool chance(double percent) { return static_cast<double>(below(100000)) < percent * 1000; }

private:
    uint64_t state_;
};

}  // namespace korvane
