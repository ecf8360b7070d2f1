#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "replay/csv_channels.h"
#include "replay/json_text.h"
#include "replay/line_input.h"
#include "replay/raw_wits.h"

namespace korvane {

enum class RecordingFormat { korvaneJsonLines, rawWits, csvChannels };

struct RecordedFrame {
    std::optional<double> t;  // seconds since the recording started; none when untimed
    std::string frame;
};

// A recording read back frame by frame for a replay, a chunk of the file at a
// time, so a file of any size starts at once and costs a few MiB. The format
// comes from the content, never the name: a first non-blank '{' is a Korvane
// recording (JSON Lines), a first non-empty line that looks like a CSV header
// (csv_channels.h) is CSV channels, anything else is raw WITS text.
class RecordingReader {
public:
    // Reads far enough to know the format and to find a first frame. Failing
    // that, a text naming the file: "Cannot play NAME: it cannot be read
    // (reason)", "...: it holds no frame", "...: it holds no item column".
    static std::variant<RecordingReader, std::string> open(const std::string& path);

    // False at the end of the file.
    bool next(RecordedFrame& out);
    // Back to the first frame, as a loop wants.
    void rewind();

    RecordingFormat format() const { return format_; }
    // Lines, records or rows skipped as damaged; a loop does not count the
    // same damage again.
    uint64_t damaged() const { return damaged_; }
    const std::vector<std::string>& notes() const { return notes_; }
    // 0..1: how far into the file the frames handed out reach.
    double progress() const;

private:
    explicit RecordingReader(std::FILE* file) : input_(std::make_unique<LineInput>(file)) {}
    bool read(RecordedFrame& out);
    bool readJson(RecordedFrame& out);
    bool readRaw(RecordedFrame& out);
    bool readCsv(RecordedFrame& out);
    void damage(uint64_t count = 1);

    std::unique_ptr<LineInput> input_;
    RecordingFormat format_ = RecordingFormat::rawWits;
    uint64_t size_ = 0;
    uint64_t dataStart_ = 0;  // after the CSV header
    uint64_t damaged_ = 0;
    uint64_t countedTo_ = 0;  // damage before this offset was counted on an earlier pass
    bool seenEnd_ = false;    // a whole pass was made: all damage is counted
    std::vector<std::string> notes_;
    std::optional<RecordedFrame> first_;  // found by open(), handed out first
    bool atStart_ = true;

    RecordingLineFields fields_;
    std::optional<double> lastT_;  // the last frame line handed out, for the duplicate test
    std::string lastFrame_;
    RawWitsFrames raw_;
    CsvChannels csv_;
};

}  // namespace korvane
