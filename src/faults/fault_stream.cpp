#include "faults/fault_stream.h"

#include <cmath>

#include "faults/fault_counts.h"

namespace korvane {

namespace {

using std::chrono::milliseconds;

// Mixes the receiver's number into the seed, so receivers get streams of
// their own that do not overlap.
uint64_t streamSeed(uint64_t seed, uint64_t receiver) {
    FaultRandom mix(seed ^ (receiver * 0xD1B54A32D192ED03ull));
    return mix.next();
}

void note(std::string& mark, const std::string& what) {
    if (!mark.empty()) mark += ", ";
    mark += what;
}

std::string bracketed(const std::string& mark) { return mark.empty() ? mark : "[" + mark + "]"; }

// A data line's value: after the four digits of its item, up to its line end.
struct ValueSpan {
    std::size_t start;
    std::size_t end;
};

std::vector<ValueSpan> dataValues(const std::string& frame) {
    std::vector<ValueSpan> values;
    std::size_t line = 0;
    while (line < frame.size()) {
        std::size_t end = frame.find_first_of("\r\n", line);
        if (end == std::string::npos) end = frame.size();
        bool item = end - line >= 4;
        for (std::size_t i = line; item && i < line + 4; ++i)
            item = frame[i] >= '0' && frame[i] <= '9';
        if (item) values.push_back({line + 4, end});
        line = frame.find('\n', end);
        line = line == std::string::npos ? frame.size() : line + 1;
    }
    return values;
}

}  // namespace

FaultStream::FaultStream(const FaultPlan& plan, uint64_t receiver)
    : plan_(plan), seed_(streamSeed(plan.seed, receiver)), random_(seed_) {}

bool FaultStream::stalled(std::chrono::duration<double> elapsed) const {
    if (!plan_.on(FaultKind::stall)) return false;
    const double t = elapsed.count();
    return t >= plan_.stallEvery && std::fmod(t, plan_.stallEvery) < plan_.stallSeconds;
}

ShapedFrame FaultStream::shape(std::string_view frame, std::chrono::duration<double> elapsed,
                               FaultCounts* counts) {
    const auto count = [&](FaultKind kind) {
        if (counts) counts->add(kind);
    };
    // Each frame draws from a stream of its own, by its number: what one frame
    // got (or a stall that kept it back) moves no other frame's choices.
    random_ = FaultRandom(streamSeed(seed_, ++frames_));
    ShapedFrame shaped;
    if (stalled(elapsed)) {
        count(FaultKind::stall);
        shaped.unsent = "[stall]";
        return shaped;
    }
    if (plan_.on(FaultKind::drop) && random_.chance(plan_.drop)) {
        count(FaultKind::drop);
        shaped.unsent = "[drop]";
        return shaped;
    }
    std::string bytes(frame);
    std::string mark;
    alter(bytes, mark, counts);

    // In the order they go out, each with its mark.
    std::vector<std::pair<std::string, std::string>> frames;
    if (plan_.on(FaultKind::reorder) && !held_ && random_.chance(plan_.reorder)) {
        count(FaultKind::reorder);
        note(mark, "reorder");
        held_ = std::move(bytes);
        heldMark_ = std::move(mark);
        shaped.unsent = "[reorder: held back]";
        return shaped;
    }
    const bool twice = plan_.on(FaultKind::duplicate) && random_.chance(plan_.duplicate);
    if (twice) count(FaultKind::duplicate);
    frames.emplace_back(bytes, mark);
    if (twice) {
        std::string again = mark;
        note(again, "duplicate");
        frames.emplace_back(std::move(bytes), std::move(again));
    }
    if (held_) {
        frames.emplace_back(std::move(*held_), std::move(heldMark_));
        held_.reset();
    }

    milliseconds start{0};
    if (plan_.on(FaultKind::delay)) {
        start = milliseconds(plan_.delayMs) +
                milliseconds(random_.below(static_cast<uint64_t>(plan_.delayJitterMs) + 1));
    }
    for (auto& [out, outMark] : frames) {
        if (plan_.on(FaultKind::delay)) {
            count(FaultKind::delay);
            note(outMark, "delay " + std::to_string(start.count()) + " ms");
        }
        if (plan_.on(FaultKind::split) && out.size() >= 2) count(FaultKind::split);
        cut(out, start, std::move(outMark), shaped);
        if (!shaped.pieces.empty()) start = shaped.pieces.back().after;
    }
    return shaped;
}

// The faults that change a frame's bytes, in a fixed order: values first,
// then line ends, noise and a corrupted byte, and last the cut, which may
// take any of them away again.
void FaultStream::alter(std::string& frame, std::string& mark, FaultCounts* counts) {
    const auto count = [&](FaultKind kind) {
        if (counts) counts->add(kind);
    };
    if (plan_.on(FaultKind::badValue) && random_.chance(plan_.badValue)) {
        const std::vector<ValueSpan> values = dataValues(frame);
        const uint64_t which = random_.below(values.size());
        const uint64_t kind = random_.below(7);
        if (!values.empty()) {
            const ValueSpan span = values[which];
            std::string value = frame.substr(span.start, span.end - span.start);
            std::string shown;
            switch (kind) {
                case 0:
                    value.clear();
                    shown = "empty";
                    break;
                case 1:
                    value = "-----";
                    break;
                case 2:
                    value = "NaN";
                    break;
                case 3:
                    value = "1.#INF";
                    break;
                case 4:
                    value = "-9999";
                    break;
                case 5:
                    value.assign(1, static_cast<char>('1' + random_.below(9)));
                    for (int i = 1; i < 40; ++i)
                        value += static_cast<char>('0' + random_.below(10));
                    shown = "40 digits";
                    break;
                default: {
                    const std::size_t point = value.find('.');
                    if (point != std::string::npos)
                        value[point] = ',';
                    else
                        value += value.empty() ? "0,5" : ",5";
                    break;
                }
            }
            if (shown.empty()) shown = value;
            frame.replace(span.start, span.end - span.start, value);
            count(FaultKind::badValue);
            note(mark, "bad-value " + frame.substr(span.start - 4, 4) + " " + shown);
        }
    }
    if (plan_.on(FaultKind::lineEnds) && frame.find("\r\n") != std::string::npos) {
        std::string changed;
        changed.reserve(frame.size());
        static constexpr std::string_view kEnds[] = {"\n", "\r", "\r\n"};
        for (std::size_t i = 0; i < frame.size(); ++i) {
            if (frame[i] == '\r' && i + 1 < frame.size() && frame[i + 1] == '\n') {
                const std::size_t end = plan_.lineEnds == LineEnds::lf   ? 0
                                        : plan_.lineEnds == LineEnds::cr ? 1
                                                                         : random_.below(3);
                changed += kEnds[end];
                ++i;
            } else {
                changed += frame[i];
            }
        }
        frame = std::move(changed);
        count(FaultKind::lineEnds);
        note(mark, std::string("line-ends ") + (plan_.lineEnds == LineEnds::lf   ? "lf"
                                                : plan_.lineEnds == LineEnds::cr ? "cr"
                                                                                 : "mixed"));
    }
    if (plan_.on(FaultKind::noise) && random_.chance(plan_.noise)) {
        std::vector<std::size_t> between;
        for (std::size_t i = 0; i + 1 < frame.size(); ++i)
            if (frame[i] == '\n' || (frame[i] == '\r' && frame[i + 1] != '\n'))
                between.push_back(i + 1);
        const std::size_t at = between.empty() ? 0 : between[random_.below(between.size())];
        const std::size_t length = 1 + random_.below(64);
        std::string noise;
        for (std::size_t i = 0; i < length; ++i)
            noise += static_cast<char>(static_cast<unsigned char>(random_.below(256)));
        if (!between.empty()) {
            frame.insert(at, noise);
            count(FaultKind::noise);
            note(mark, "noise " + std::to_string(length) + " bytes");
        }
    }
    if (plan_.on(FaultKind::corrupt) && random_.chance(plan_.corrupt)) {
        const std::size_t at = random_.below(frame.size());
        const auto byte = static_cast<char>(static_cast<unsigned char>(random_.below(256)));
        if (!frame.empty()) {
            frame[at] = byte;
            count(FaultKind::corrupt);
            note(mark, "corrupt at " + std::to_string(at));
        }
    }
    if (plan_.on(FaultKind::truncate) && random_.chance(plan_.truncate)) {
        const std::size_t keep =
            frame.size() < 2 ? frame.size() : 1 + random_.below(frame.size() - 1);
        if (keep < frame.size()) {
            frame.resize(keep);
            count(FaultKind::truncate);
            note(mark, "truncate at " + std::to_string(keep));
        }
    }
}

// The frame in its pieces from `start` on, cut at random points, GAP apart.
void FaultStream::cut(std::string_view frame, milliseconds start, std::string mark,
                      ShapedFrame& shaped) {
    std::size_t pieces = 1;
    if (plan_.on(FaultKind::split)) {
        pieces = std::min<std::size_t>(static_cast<std::size_t>(plan_.splitPieces), frame.size());
        pieces = std::max<std::size_t>(pieces, 1);
    }
    if (pieces > 1) note(mark, "split " + std::to_string(pieces));
    // Selection sampling: each of the frame.size() - 1 places between bytes is
    // a cut with the chance of the cuts still wanted among the places left.
    std::size_t wanted = pieces - 1;
    std::size_t from = 0;
    milliseconds at = start;
    const milliseconds gap(plan_.splitGapMs);
    for (std::size_t place = 1; place < frame.size() && wanted > 0; ++place) {
        const std::size_t left = frame.size() - place;
        if (random_.below(left) >= wanted) continue;
        shaped.pieces.push_back({std::string(frame.substr(from, place - from)), at,
                                 from == 0 ? bracketed(mark) : std::string{}});
        from = place;
        at += gap;
        --wanted;
    }
    shaped.pieces.push_back(
        {std::string(frame.substr(from)), at, from == 0 ? bracketed(mark) : std::string{}});
}

}  // namespace korvane
