#include "faults/fault_plan.h"

#include <charconv>
#include <cmath>
#include <optional>

#include "text/number_text.h"

namespace korvane {

namespace {

// Longest delay, split gap, stall or disconnect period: a day is more than
// any receiver test waits, and keeps every sum of them far from overflow.
constexpr double kLongestSeconds = 86400;
constexpr int kLongestMs = 86400 * 1000;
constexpr int kMostPieces = 1000;

// A whole decimal number in [0, most], nothing else around it.
std::optional<int> wholeNumber(std::string_view text, int most) {
    const std::optional<int> value = readWhole<int>(text);
    if (!value || *value < 0 || *value > most) return std::nullopt;
    return value;
}

// A decimal number in [least, most], in the classic locale, nothing else around it.
std::optional<double> decimalNumber(std::string_view text, double least, double most) {
    if (text.empty() || text.front() == ' ' || text.front() == '+') return std::nullopt;
    std::size_t used = 0;
    const std::optional<float> value = scanFloat(text, &used);
    if (!value || used != text.size() || !std::isfinite(*value)) return std::nullopt;
    // Read as written ("0.1" stays 0.1, not the float nearest it).
    double exact = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), exact);
    if (error != std::errc{} || end != text.data() + text.size()) exact = *value;
    if (exact < least || exact > most) return std::nullopt;
    return exact;
}

std::optional<double> share(std::string_view text) {
    if (!text.empty() && text.back() == '%') text.remove_suffix(1);
    return decimalNumber(text, 0, 100);
}

// "A:B" as two parts; B empty when there is no colon.
std::pair<std::string_view, std::string_view> twoParts(std::string_view text, bool& hasSecond) {
    const std::size_t colon = text.find(':');
    hasSecond = colon != std::string_view::npos;
    if (!hasSecond) return {text, {}};
    return {text.substr(0, colon), text.substr(colon + 1)};
}

double* shareOf(FaultPlan& plan, FaultKind kind) {
    switch (kind) {
        case FaultKind::drop:
            return &plan.drop;
        case FaultKind::duplicate:
            return &plan.duplicate;
        case FaultKind::corrupt:
            return &plan.corrupt;
        case FaultKind::noise:
            return &plan.noise;
        case FaultKind::truncate:
            return &plan.truncate;
        case FaultKind::badValue:
            return &plan.badValue;
        case FaultKind::reorder:
            return &plan.reorder;
        default:
            return nullptr;
    }
}

const double* shareOf(const FaultPlan& plan, FaultKind kind) {
    return shareOf(const_cast<FaultPlan&>(plan), kind);
}

// Reads the value part for `kind` into `plan`; false when it is malformed.
bool readValue(FaultKind kind, std::string_view value, FaultPlan& plan) {
    if (double* target = shareOf(plan, kind)) {
        const auto read = share(value);
        if (read) *target = *read;
        return read.has_value();
    }
    bool second = false;
    const auto [a, b] = twoParts(value, second);
    switch (kind) {
        case FaultKind::delay: {
            const auto ms = wholeNumber(a, kLongestMs);
            const auto jitter = second ? wholeNumber(b, kLongestMs) : std::optional<int>(0);
            if (!ms || !jitter) return false;
            plan.delayMs = *ms;
            plan.delayJitterMs = *jitter;
            return true;
        }
        case FaultKind::split: {
            const auto pieces = wholeNumber(a, kMostPieces);
            const auto gap = second ? wholeNumber(b, kLongestMs) : std::optional<int>(0);
            // One piece is the frame as it is: off.
            if (!pieces || !gap || *pieces == 0) return false;
            plan.splitPieces = *pieces == 1 ? 0 : *pieces;
            plan.splitGapMs = *pieces == 1 ? 0 : *gap;
            return true;
        }
        case FaultKind::lineEnds:
            if (value == "crlf")
                plan.lineEnds = LineEnds::crlf;
            else if (value == "lf")
                plan.lineEnds = LineEnds::lf;
            else if (value == "cr")
                plan.lineEnds = LineEnds::cr;
            else if (value == "mixed")
                plan.lineEnds = LineEnds::mixed;
            else
                return false;
            return true;
        case FaultKind::stall: {
            if (!second) return false;
            const auto quiet = decimalNumber(a, 0, kLongestSeconds);
            const auto every = decimalNumber(b, 0, kLongestSeconds);
            // Quiet for the whole period, or longer, would never send again.
            if (!quiet || !every || (*quiet > 0 && *quiet >= *every)) return false;
            plan.stallSeconds = *every > 0 ? *quiet : 0;
            plan.stallEvery = *quiet > 0 ? *every : 0;
            return true;
        }
        case FaultKind::disconnect: {
            const auto every = decimalNumber(value, 0, kLongestSeconds);
            if (!every) return false;
            plan.disconnectEvery = *every;
            return true;
        }
        default:
            return false;
    }
}

std::string number(double value) {
    std::string text = formatFixed(value, 3);
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

}  // namespace

std::string_view faultName(FaultKind kind) {
    switch (kind) {
        case FaultKind::drop:
            return "drop";
        case FaultKind::duplicate:
            return "duplicate";
        case FaultKind::delay:
            return "delay";
        case FaultKind::split:
            return "split";
        case FaultKind::corrupt:
            return "corrupt";
        case FaultKind::noise:
            return "noise";
        case FaultKind::truncate:
            return "truncate";
        case FaultKind::badValue:
            return "bad-value";
        case FaultKind::lineEnds:
            return "line-ends";
        case FaultKind::stall:
            return "stall";
        case FaultKind::disconnect:
            return "disconnect";
        case FaultKind::reorder:
            return "reorder";
    }
    return {};
}

std::string_view faultForm(FaultKind kind) {
    switch (kind) {
        case FaultKind::delay:
            return "delay=MS[:JITTER_MS] with whole milliseconds";
        case FaultKind::split:
            return "split=N[:GAP_MS] with N pieces from 1 to 1000 and whole milliseconds";
        case FaultKind::lineEnds:
            return "line-ends=lf|cr|mixed|crlf";
        case FaultKind::stall:
            return "stall=SECONDS:EVERY with SECONDS shorter than EVERY";
        case FaultKind::disconnect:
            return "disconnect=EVERY with EVERY in seconds";
        case FaultKind::drop:
            return "drop=P% with P from 0 to 100";
        case FaultKind::duplicate:
            return "duplicate=P% with P from 0 to 100";
        case FaultKind::corrupt:
            return "corrupt=P% with P from 0 to 100";
        case FaultKind::noise:
            return "noise=P% with P from 0 to 100";
        case FaultKind::truncate:
            return "truncate=P% with P from 0 to 100";
        case FaultKind::badValue:
            return "bad-value=P% with P from 0 to 100";
        case FaultKind::reorder:
            return "reorder=P% with P from 0 to 100";
    }
    return {};
}

bool FaultPlan::on(FaultKind kind) const {
    if (const double* value = shareOf(*this, kind)) return *value > 0;
    switch (kind) {
        case FaultKind::delay:
            return delayMs > 0 || delayJitterMs > 0;
        case FaultKind::split:
            return splitPieces >= 2;
        case FaultKind::lineEnds:
            return lineEnds != LineEnds::crlf;
        case FaultKind::stall:
            return stallSeconds > 0 && stallEvery > stallSeconds;
        case FaultKind::disconnect:
            return disconnectEvery > 0;
        default:
            return false;
    }
}

bool FaultPlan::anyOn() const {
    for (const FaultKind kind : kAllFaults)
        if (on(kind)) return true;
    return false;
}

std::string readFault(std::string_view text, FaultPlan& plan) {
    const std::size_t equals = text.find('=');
    const std::string_view name = text.substr(0, equals);
    for (const FaultKind kind : kAllFaults) {
        if (faultName(kind) != name) continue;
        FaultPlan changed = plan;
        if (equals != std::string_view::npos && readValue(kind, text.substr(equals + 1), changed)) {
            plan = changed;
            return {};
        }
        return std::string(text) + ": expected " + std::string(faultForm(kind));
    }
    std::string known;
    for (const FaultKind kind : kAllFaults) {
        if (!known.empty()) known += ", ";
        known += faultName(kind);
    }
    return std::string(text) + ": expected one of " + known + ", as NAME=VALUE";
}

std::string faultText(const FaultPlan& plan, FaultKind kind) {
    if (!plan.on(kind)) return {};
    const std::string name(faultName(kind));
    if (const double* value = shareOf(plan, kind)) return name + "=" + number(*value) + "%";
    switch (kind) {
        case FaultKind::delay:
            return name + "=" + std::to_string(plan.delayMs) +
                   (plan.delayJitterMs > 0 ? ":" + std::to_string(plan.delayJitterMs) : "");
        case FaultKind::split:
            return name + "=" + std::to_string(plan.splitPieces) +
                   (plan.splitGapMs > 0 ? ":" + std::to_string(plan.splitGapMs) : "");
        case FaultKind::lineEnds:
            return name + "=" +
                   (plan.lineEnds == LineEnds::lf   ? "lf"
                    : plan.lineEnds == LineEnds::cr ? "cr"
                                                    : "mixed");
        case FaultKind::stall:
            return name + "=" + number(plan.stallSeconds) + ":" + number(plan.stallEvery);
        case FaultKind::disconnect:
            return name + "=" + number(plan.disconnectEvery);
        default:
            return {};
    }
}

std::vector<std::string> faultTexts(const FaultPlan& plan) {
    std::vector<std::string> texts;
    for (const FaultKind kind : kAllFaults)
        if (plan.on(kind)) texts.push_back(faultText(plan, kind));
    return texts;
}

}  // namespace korvane
