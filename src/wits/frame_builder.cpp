#include "wits/frame_builder.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "state/shared_state.h"

namespace korvane {

namespace {

// Longest text of a fixed-point number: sign, every integer digit of the
// largest finite value, point, decimals. "-nan" and "-inf" are shorter.
template <typename T>
constexpr std::size_t maxFixedChars(int decimals) {
    return 1 + (std::numeric_limits<T>::max_exponent10 + 1) + 1 + decimals;
}
constexpr std::size_t kLineEnd = 2;                   // CR LF
constexpr std::size_t kItemCode = 4;                  // "0108"
constexpr std::size_t kMaxTagChars = kTagLength + 1;  // a tag without its NUL fills the field
constexpr std::size_t kRecordMarks = 8;               // "&&\r\n" and "!!\r\n"

constexpr char kOpen[] = "&&\r\n";
constexpr char kClose[] = "!!\r\n";

// Worst frame the tables allow: every item on, all 100 aux slots sending,
// 100 extraneous records each in a record of its own, every number at the
// widest its type prints (record and item numbers are two digits each). Nothing is cut short
// because this always fits.
constexpr std::size_t kWorstFrame =
    (sizeof kGreetingRecord - 1) + (sizeof kOpen - 1) +
    2 * (kItemCode + maxFixedChars<float>(4) + kLineEnd) +                  // 0108, 0110
    kAuxTrackSlots * (kMaxTagChars + maxFixedChars<float>(2) + kLineEnd) +  // aux tracks
    kPumpCount * (kItemCode + maxFixedChars<float>(2) + kLineEnd) +         // 0123..0125
    kPumpCount * (kItemCode + maxFixedChars<double>(1) + kLineEnd) +        // 0143..0145
    (kItemCode + maxFixedChars<float>(2) + kLineEnd) +                      // 9003
    (sizeof kClose - 1) +                                                   //
    kExtraRecordSlots * (kRecordMarks + kItemCode + maxFixedChars<float>(1) + kLineEnd) + 1;  // NUL
static_assert(kWorstFrame <= kFrameBufferSize, "the largest frame must fit in frameBuffer");

// Appends to the frame, never past the last byte before the terminating NUL.
// The bound is a second line of defence: kWorstFrame says it is never reached.
class FrameWriter {
public:
    explicit FrameWriter(char* out) : begin_(out), cur_(out), end_(out + kFrameBufferSize - 1) {}

    void text(const char* s, std::size_t n) {
        n = std::min(n, static_cast<std::size_t>(end_ - cur_));
        std::memcpy(cur_, s, n);
        cur_ += n;
    }
    template <std::size_t N>
    void text(const char (&s)[N]) {
        text(s, N - 1);
    }

    // printf "%.<decimals>f" in the classic locale, whatever the process locale.
    void fixed(double value, int decimals) {
        if (fixedOrdinary(value, decimals)) return;
        auto [end, error] = std::to_chars(cur_, end_, value, std::chars_format::fixed, decimals);
        if (error == std::errc{}) cur_ = end;
    }

    // Two digits, zero-filled, of a number from 0 to 99.
    void twoDigits(int32_t number) {
        const char digits[] = {static_cast<char>('0' + number / 10),
                               static_cast<char>('0' + number % 10)};
        text(digits, sizeof digits);
    }

    std::size_t finish() {
        *cur_ = '\0';
        return static_cast<std::size_t>(cur_ - begin_);
    }

private:
    // The same digits as printf for the magnitudes a rig produces (below 1e15,
    // up to 4 decimals), several times faster than to_chars with a precision:
    // the exact binary value times 10^decimals, rounded half to even, as glibc
    // does. False, writing nothing, for anything else.
    bool fixedOrdinary(double value, int decimals) {
        constexpr int kMaxChars = 1 + 20 + 1;  // sign, digits of a uint64, point
        if (!(std::fabs(value) < 1e15) || decimals < 0 || decimals > 4 || end_ - cur_ < kMaxChars) {
            return false;
        }
        // 10^d = 5^d * 2^d: the power of two joins the shift, and the rest of
        // the product stays below 2^53 * 5^4 < 2^63, exact in 64 bits.
        constexpr uint64_t kPow5[] = {1, 5, 25, 125, 625};
        const auto bits = std::bit_cast<uint64_t>(value);
        const int exponent = static_cast<int>((bits >> 52) & 0x7ff);
        const uint64_t fraction = bits & ((uint64_t{1} << 52) - 1);
        // |value| = mantissa * 2^-shift; shift > 2 since |value| < 2^50.
        const uint64_t mantissa = exponent == 0 ? fraction : fraction | (uint64_t{1} << 52);
        const int shift = exponent == 0 ? 1074 : 1075 - exponent;
        // |value| * 10^decimals = scaled * 2^-cut, with cut >= -1.
        const uint64_t scaled = mantissa * kPow5[decimals];
        const int cut = shift - decimals;
        uint64_t q = 0;  // below 1e15 * 1e4 < 2^64
        if (cut <= 0) {
            q = scaled << -cut;
        } else if (cut < 64) {  // otherwise scaled (< 2^63) is below half a unit: q stays 0
            q = scaled >> cut;
            const uint64_t rest = scaled & ((uint64_t{1} << cut) - 1);
            const uint64_t half = uint64_t{1} << (cut - 1);
            if (rest > half || (rest == half && (q & 1) != 0)) ++q;
        }

        char digits[24];
        char* d = digits + sizeof digits;
        int count = 0;
        do {
            *--d = static_cast<char>('0' + q % 10);
            q /= 10;
            ++count;
        } while (q != 0 || count <= decimals);
        if (std::signbit(value)) *cur_++ = '-';
        const int whole = count - decimals;
        std::memcpy(cur_, d, static_cast<std::size_t>(whole));
        cur_ += whole;
        if (decimals > 0) {
            *cur_++ = '.';
            std::memcpy(cur_, d + whole, static_cast<std::size_t>(decimals));
            cur_ += decimals;
        }
        return true;
    }

    char* begin_;
    char* cur_;
    char* end_;
};

// Pump rate line: only a circulating pump that is not dropped sends its rate.
void pumpRateLine(FrameWriter& w, const SimState& sim, int pump, const char (&code)[5]) {
    if (sim.pumpCirculating[pump] == 0 || sim.dropPumpSpm[pump] != 0) return;
    const auto spm = sim.pumpRate(pump);
    if (!spm) return;  // a choice beyond the list has no rate to send
    w.text(code);
    w.fixed(*spm, 2);
    w.text("\r\n", 2);
}

void strokesLine(FrameWriter& w, const SimState& sim, int pump, const char (&code)[5]) {
    if (sim.sendTotalStrokes[pump] == 0) return;
    w.text(code);
    w.fixed(sim.totalStrokes[pump], 1);
    w.text("\r\n", 2);
}

void extraRecordLine(FrameWriter& w, const ExtraRecord& r) {
    w.twoDigits(r.recordNumber);
    w.twoDigits(r.itemNumber);
    w.fixed(r.value, 1);
    w.text("\r\n", 2);
}

// One WITS record per distinct record number, in order of first appearance,
// entries in table order within it; every entry exactly once. An entry whose
// numbers do not fit an item code is left out (and left unmarked) where it
// stands, and a record left with no entry is not sent at all.
void extraRecords(FrameWriter& w, ExtraRecordTable& table) {
    const int count = std::clamp<int32_t>(table.extraRecordCount, 0, kExtraRecordSlots);
    ExtraRecord* records = table.extraRecords;
    bool grouped[kExtraRecordSlots] = {};
    for (int i = 0; i < count; ++i) records[i].sent = 0;
    for (int i = 0; i < count; ++i) {
        if (grouped[i]) continue;
        bool open = false;
        for (int j = i; j < count; ++j) {
            if (records[j].recordNumber != records[i].recordNumber) continue;
            grouped[j] = true;
            if (!fitsItemCode(records[j].recordNumber, records[j].itemNumber)) continue;
            if (!open) w.text(kOpen);
            open = true;
            extraRecordLine(w, records[j]);
            records[j].sent = 1;
        }
        if (open) w.text(kClose);
    }
}

}  // namespace

std::size_t buildFrame(SharedState& shared, char* out) {
    FrameWriter w(out);
    const SimState& sim = shared.sim;

    w.text(kGreetingRecord);
    w.text(kOpen);

    if (sim.dropBitDepth == 0) {
        w.text("0108", 4);
        w.fixed(sim.bitDepth, 4);
        w.text("\r\n", 2);
    }
    if (sim.dropHoleDepth == 0) {
        w.text("0110", 4);
        w.fixed(sim.holeDepth, 4);
        w.text("\r\n", 2);
    }

    // The Aux Tracks page adds a slot without the mutex and sets inUse last,
    // so the slot's other fields are read only after inUse is seen set.
    const AuxTrackTable& aux = shared.auxTracks;
    for (int slot = 0; slot < kAuxTrackSlots; ++slot) {
        if (aux.inUse[slot].load(std::memory_order_acquire) == 0) continue;
        if (aux.transmit[slot].load(std::memory_order_acquire) == 0) continue;
        w.text(aux.tag[slot], strnlen(aux.tag[slot], sizeof aux.tag[slot]));
        w.fixed(aux.value[slot], 2);
        w.text("\r\n", 2);
    }

    pumpRateLine(w, sim, 0, "0123");
    pumpRateLine(w, sim, 1, "0124");
    pumpRateLine(w, sim, 2, "0125");
    strokesLine(w, sim, 0, "0143");
    strokesLine(w, sim, 1, "0144");
    strokesLine(w, sim, 2, "0145");

    if (sim.sendSimulatedGas != 0) {
        w.text("9003", 4);
        w.fixed(sim.gasOutput, 2);
        w.text("\r\n", 2);
    }
    w.text(kClose);

    if (sim.transmitExtraRecords.load(std::memory_order_relaxed) != 0) {
        extraRecords(w, shared.extraRecords);
    }
    return w.finish();
}

}  // namespace korvane
