#include "tables/catalogue_file.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "platform/file_prefix.h"
#include "tables/item_catalogue.h"
#include "text/number_text.h"

namespace korvane {

namespace {

// Characters kept of one line; the rest of a longer line is dropped, which
// leaves far more than any header or 63-character name needs.
constexpr std::size_t kLongestLine = 511;

// The most of the file that is read: far beyond eight blocks of 40 items at
// the longest line each, and a bound on what a planted file can cost.
constexpr std::size_t kLargestFile = 1024 * 1024;

// Result codes of loadCatalogue.
constexpr int32_t kLoaded = 0;
constexpr int32_t kBadHeader = 1;
constexpr int32_t kBadItem = 2;

// Lines as the catalogue reads them: the run of characters up to a line feed,
// after which every further line feed is consumed, so empty lines between
// lines vanish. CR LF counts as one line feed, as a text-mode read on the
// system the files come from would see it.
class LineReader {
public:
    explicit LineReader(std::istream& in) : in_(in) {}

    // The next line, or nothing at the end of the file - or at an empty line,
    // which can only be met at the very start of the file.
    std::optional<std::string> next() {
        int c = get();
        if (c == kEnd || c == '\n') return std::nullopt;
        std::string line;
        while (c != kEnd && c != '\n') {
            if (line.size() < kLongestLine) line.push_back(static_cast<char>(c));
            c = get();
        }
        while ((c = get()) == '\n') {
        }
        putBack(c);
        return line;
    }

private:
    static constexpr int kEnd = std::char_traits<char>::eof();

    int rawGet() {
        if (pendingCount_ > 0) return pending_[--pendingCount_];
        return in_.get();
    }

    // Up to two characters go back: a lone CR and the one after it.
    void putBack(int c) { pending_[pendingCount_++] = c; }

    int get() {
        const int c = rawGet();
        if (c != '\r') return c;
        const int after = rawGet();
        if (after == '\n') return '\n';
        putBack(after);
        return c;
    }

    std::istream& in_;
    int pending_[2] = {};
    int pendingCount_ = 0;
};

// scanf's "%d" from text[pos], advancing pos past the digits. Digits only, so
// no locale comes into it.
std::optional<int32_t> scanNumber(std::string_view text, std::size_t& pos) {
    std::size_t used = 0;
    const auto value = scanInt(text.substr(pos), &used);
    if (value) pos += used;
    return value;
}

// " %d,%d ": a number, a comma right after it, a second number; the rest is ignored.
bool parseHeader(std::string_view line, int32_t& recordNumber, int32_t& itemCount) {
    std::size_t pos = 0;
    const auto first = scanNumber(line, pos);
    if (!first || pos >= line.size() || line[pos] != ',') return false;
    ++pos;
    const auto second = scanNumber(line, pos);
    if (!second) return false;
    recordNumber = *first;
    itemCount = *second;
    return true;
}

// " %d,%[^\n]": a number, a comma right after it, and a name of at least one
// character, blanks included. A "//" comment and the blanks and tabs left
// before it are removed; the name is then cut to what the catalogue holds.
bool parseItem(std::string_view line, int32_t& itemNumber, char (&name)[kItemNameSize]) {
    std::size_t pos = 0;
    const auto number = scanNumber(line, pos);
    if (!number || pos >= line.size() || line[pos] != ',') return false;
    std::string_view text = line.substr(pos + 1);
    if (text.empty()) return false;
    if (const auto comment = text.find("//"); comment != std::string_view::npos)
        text = text.substr(0, comment);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    text = text.substr(0, kItemNameSize - 1);
    std::memset(name, 0, sizeof name);
    std::memcpy(name, text.data(), text.size());
    itemNumber = *number;
    return true;
}

// Record 02, item 10: what the dialog offers when the file is missing or bad.
void setFallback(ItemCatalogue& catalogue) {
    catalogue = ItemCatalogue{};
    catalogue.nrecords = 1;
    catalogue.recid[0] = 2;
    catalogue.nitems[0] = 1;
    catalogue.itemid[0][0] = 10;
    std::strcpy(catalogue.text[0][0], "Rate of Penetration");
}

// Reads the blocks into catalogue; returns the result code. Limits: blocks
// after the eighth are not read; item lines after the fortieth of a block are
// read and checked but not kept; a negative item count is a bad header.
int32_t readBlocks(std::istream& in, ItemCatalogue& catalogue) {
    LineReader lines(in);
    for (int r = 0; r < kCatalogueRecords; ++r) {
        const auto header = lines.next();
        if (!header) return kLoaded;
        int32_t recordNumber = 0;
        int32_t itemCount = 0;
        if (!parseHeader(*header, recordNumber, itemCount) || itemCount < 0) return kBadHeader;
        catalogue.recid[r] = recordNumber;
        for (int32_t k = 0; k < itemCount; ++k) {
            const auto line = lines.next();
            int32_t itemNumber = 0;
            char name[kItemNameSize];
            if (!line || !parseItem(*line, itemNumber, name)) return kBadItem;
            if (k < kCatalogueItems) {
                catalogue.itemid[r][k] = itemNumber;
                std::memcpy(catalogue.text[r][k], name, sizeof name);
            }
        }
        catalogue.nitems[r] = std::min(itemCount, int32_t{kCatalogueItems});
        catalogue.nrecords = r + 1;
    }
    return kLoaded;
}

}  // namespace

int32_t loadCatalogue(ItemCatalogue& catalogue, const std::filesystem::path& folder) {
    catalogue = ItemCatalogue{};
    // Only a regular file is opened: a FIFO or a link to a device under the
    // name must not hang the dialog.
    const FilePrefix file = readFilePrefix(folder / kCatalogueFileName, kLargestFile);
    std::istringstream in(std::string(file.bytes.begin(), file.bytes.end()));
    // A missing file counts as one whose first header is bad: fallback, code 1.
    const int32_t ierr = file.result == FileRead::read ? readBlocks(in, catalogue) : kBadHeader;
    if (ierr != kLoaded) setFallback(catalogue);
    return ierr;
}

}  // namespace korvane
