#include "links/recorded_source.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <utility>
#include <variant>

namespace korvane {

namespace {

// A loop of a recording that spans no time (a single timed frame) still
// takes this long, so it does not become a flood.
constexpr double kShortestLoop = 1.0;
// A burst joins frames up to about this many bytes: a write of its own each.
constexpr std::size_t kBurstBytes = 16 * 1024;
// After a beat that nobody took, "as fast as taken" looks again this soon.
constexpr auto kIdleLook = std::chrono::milliseconds{20};

}  // namespace

RecordedSource::RecordedSource(RecordingReader reader, std::string name, PlayOptions options,
                               Clock now)
    : reader_(std::move(reader)), name_(std::move(name)), options_(options), now_(now) {
    readNext();
    timed_ = next_ && next_->t.has_value();
}

LinkClock::time_point RecordedSource::dueOf(double t) const {
    const std::chrono::duration<double> after((t - options_.start) / options_.speed);
    return *began_ + std::chrono::duration_cast<LinkClock::duration>(after);
}

void RecordedSource::readNext() {
    RecordedFrame frame;
    bool rewound = false;
    for (;;) {
        if (!reader_.next(frame)) {
            // A file that gave nothing since the last rewind has nothing to loop.
            if (!options_.loop || rewound) {
                next_.reset();
                break;
            }
            reader_.rewind();
            rewound = true;
            // The next pass follows the last frame by the last gap seen.
            const double span = lastT_ - firstT_ + lastGap_;
            loopOffset_ += span > 0 ? span : kShortestLoop;
            previousT_.reset();
            continue;
        }
        if (frame.t) {
            const double t = *frame.t;
            if (firstRead_) firstT_ = t;
            if (previousT_ && t > *previousT_) lastGap_ = t - *previousT_;
            previousT_ = t;
            lastT_ = t;
            firstRead_ = false;
            // Only the first pass begins at the offset.
            if (loopOffset_ == 0.0 && t < options_.start) continue;
            frame.t = t + loopOffset_;
        }
        next_ = std::move(frame);
        break;
    }
    percent_.store(static_cast<int32_t>(std::lround(reader_.progress() * 100.0)));
    damaged_.store(reader_.damaged());
}

void RecordedSource::advance() {
    current_ = std::move(next_->frame);
    haveCurrent_ = true;
    readNext();
}

void RecordedSource::passOverdue() {
    const auto now = now_();
    while (next_ && dueOf(*next_->t) <= now) advance();
}

void RecordedSource::finish() {
    if (!ended_.exchange(true) && onEnded) onEnded();
}

std::optional<LinkClock::time_point> RecordedSource::due() {
    if (!began_) began_ = now_();
    if (ended_.load()) return std::nullopt;
    const auto now = now_();
    if (holdOff_ && *holdOff_ > now) return holdOff_;
    holdOff_.reset();
    // With the last frame gone, the next beat comes at once and ends the play.
    if (!next_ || options_.asFastAsTaken) return now;
    if (timed_) return dueOf(*next_->t);
    return std::nullopt;
}

void RecordedSource::beatMissed() {
    if (!began_) began_ = now_();
    if (!next_) return finish();
    if (options_.asFastAsTaken) {
        holdOff_ = now_() + kIdleLook;
    } else if (timed_) {
        passOverdue();
    } else {
        advance();
    }
}

bool RecordedSource::framesNow(FramePieces& out, Ask ask) {
    out.clear();
    if (!began_) began_ = now_();
    if (ended_.load()) return false;
    switch (ask) {
        case Ask::greet:
            if (!haveCurrent_) return false;
            break;
        case Ask::beat:
            if (!next_) {
                finish();
                return false;
            }
            advance();
            // A beat that came late passes over what fell due meanwhile.
            if (timed_ && !options_.asFastAsTaken) passOverdue();
            break;
        case Ask::burst:
            if (!next_) {
                finish();
                return false;
            }
            burst_.clear();
            do {
                advance();
                burst_ += current_;
            } while (next_ && burst_.size() < kBurstBytes);
            out.emplace_back(burst_);
            return true;
        case Ask::request: {
            if (!timed_) {
                if (!next_) {
                    finish();
                    return false;
                }
                advance();
                break;
            }
            const double position =
                options_.start +
                std::chrono::duration<double>(now_() - *began_).count() * options_.speed;
            // Before the first frame's time, the first frame is the one to give.
            if (!haveCurrent_ && next_) advance();
            while (next_ && *next_->t <= position) advance();
            if (!haveCurrent_) return false;
            // The last frame stands for as long as the gap before it, then the play ends.
            if (!next_ && position >= lastT_ + loopOffset_ + lastGap_) finish();
            break;
        }
    }
    out.emplace_back(current_);
    return true;
}

OpenedRecording openRecording(const std::string& path, const PlayOptions& options) {
    auto opened = RecordingReader::open(path);
    if (auto* error = std::get_if<std::string>(&opened)) return {nullptr, {}, *error};
    auto& reader = std::get<RecordingReader>(opened);
    std::vector<std::string> notes = reader.notes();
    return {std::make_shared<RecordedSource>(
                std::move(reader), std::filesystem::path(path).filename().string(), options),
            std::move(notes),
            {}};
}

bool readPlaySpeed(std::string_view text, PlayOptions& options) {
    if (text == "max") {
        options.asFastAsTaken = true;
        return true;
    }
    double speed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), speed);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() ||
        !(speed >= 0.1 && speed <= 1000))
        return false;
    options.speed = speed;
    options.asFastAsTaken = false;
    return true;
}

std::string skippedText(uint64_t damaged) {
    return std::to_string(damaged) + (damaged == 1 ? " damaged line" : " damaged lines") +
           " skipped";
}

std::string playedText(const RecordedSource& recording) {
    std::string text = "Played " + recording.name() + " to the end";
    if (const uint64_t damaged = recording.damaged()) text += "; " + skippedText(damaged);
    return text;
}

}  // namespace korvane
