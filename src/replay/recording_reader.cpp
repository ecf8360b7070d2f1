#include "replay/recording_reader.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace korvane {

namespace {

bool blank(std::string_view line) { return trimBlanks(line).empty(); }

std::string_view withoutBom(std::string_view line) {
    return line.substr(0, 3) == "\xEF\xBB\xBF" ? line.substr(3) : line;
}

std::string cannotRead(int error) {
    return "it cannot be read (" + std::generic_category().message(error) + ")";
}

}  // namespace

std::variant<RecordingReader, std::string> RecordingReader::open(const std::string& path) {
    const std::string cannot = "Cannot play " + path + ": ";
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return cannot + (errno != 0 ? cannotRead(errno) : "it cannot be read");
    RecordingReader reader(file);
    std::error_code ignored;
    reader.size_ = std::filesystem::file_size(path, ignored);
    if (ignored) reader.size_ = 0;

    LineInput::Line line;
    while (reader.input_->next(line) && (line.overlong || blank(line.text))) {
    }
    if (reader.input_->readError() != 0) return cannot + cannotRead(reader.input_->readError());
    const std::string_view firstLine = withoutBom(line.text);
    const std::size_t firstMark = firstLine.find_first_not_of(" \t");
    if (firstMark != std::string_view::npos && firstLine[firstMark] == '{') {
        reader.format_ = RecordingFormat::korvaneJsonLines;
    } else if (!line.overlong && CsvChannels::looksLikeHeader(firstLine)) {
        reader.format_ = RecordingFormat::csvChannels;
        if (!reader.csv_.header(firstLine)) return cannot + "it holds no item column";
        if (!reader.csv_.note().empty()) reader.notes_.push_back(reader.csv_.note());
        reader.dataStart_ = reader.input_->consumed();
    }
    reader.input_->seek(reader.dataStart_);
    RecordedFrame first;
    if (!reader.read(first)) {
        if (reader.input_->readError() != 0) return cannot + cannotRead(reader.input_->readError());
        return cannot + "it holds no frame";
    }
    reader.first_ = std::move(first);
    return reader;
}

bool RecordingReader::next(RecordedFrame& out) {
    if (atStart_ && first_) {
        atStart_ = false;
        out = *first_;
        return true;
    }
    atStart_ = false;
    return read(out);
}

void RecordingReader::rewind() {
    countedTo_ = std::max(countedTo_, input_->consumed());
    // The first frame is kept, so reading starts again past it.
    input_->seek(dataStart_);
    raw_.reset();
    csv_.restart();
    lastT_.reset();
    lastFrame_.clear();
    atStart_ = true;
    if (first_) {
        RecordedFrame skipped;
        read(skipped);
    }
}

double RecordingReader::progress() const {
    if (size_ == 0) return 1.0;
    return std::min(1.0, static_cast<double>(input_->consumed()) / static_cast<double>(size_));
}

void RecordingReader::damage(uint64_t count) {
    if (!seenEnd_ && input_->consumed() > countedTo_) damaged_ += count;
}

bool RecordingReader::read(RecordedFrame& out) {
    bool found = false;
    switch (format_) {
        case RecordingFormat::korvaneJsonLines:
            found = readJson(out);
            break;
        case RecordingFormat::rawWits:
            found = readRaw(out);
            break;
        case RecordingFormat::csvChannels:
            found = readCsv(out);
            break;
    }
    if (!found) seenEnd_ = true;
    return found;
}

// A frame sent to several receivers of a TCP server is recorded once for
// each (with "to"); a frame line with the same t and frame as the frame line
// handed out before it is skipped, so a replay sends it once, to every
// receiver. Lines of other kinds between them do not matter.
bool RecordingReader::readJson(RecordedFrame& out) {
    LineInput::Line line;
    while (input_->next(line)) {
        if (line.overlong) {
            damage();
            continue;
        }
        if (blank(line.text)) continue;
        if (!parseRecordingLine(line.text, fields_) || (fields_.hasFrame && !fields_.t)) {
            damage();
            continue;
        }
        if (!fields_.hasFrame) continue;
        if (lastT_ == fields_.t && lastFrame_ == fields_.frame) continue;
        lastT_ = fields_.t;
        lastFrame_.swap(fields_.frame);
        out.t = lastT_;
        out.frame = lastFrame_;
        return true;
    }
    return false;
}

bool RecordingReader::readRaw(RecordedFrame& out) {
    LineInput::Line line;
    for (;;) {
        const bool more = input_->next(line);
        if (more && line.overlong) raw_.tooLong();
        const bool done = !more ? raw_.end() : !line.overlong && raw_.line(line.text);
        damage(static_cast<uint64_t>(raw_.takeDamage()));
        if (done) {
            out.t.reset();
            out.frame = raw_.frame();
            return true;
        }
        if (!more) return false;
    }
}

bool RecordingReader::readCsv(RecordedFrame& out) {
    LineInput::Line line;
    while (input_->next(line)) {
        if (blank(line.text) && !line.overlong) continue;
        if (line.overlong || !csv_.row(line.text, out.t, out.frame)) {
            damage();
            continue;
        }
        return true;
    }
    return false;
}

}  // namespace korvane
