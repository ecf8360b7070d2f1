#include "replay/json_text.h"

#include <charconv>
#include <cstdint>

namespace korvane {

void appendJsonEscaped(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    const char* run = text.data();
    const char* end = text.data() + text.size();
    for (const char* p = run; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') continue;
        out.append(run, p);
        run = p + 1;
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default: {
                const char u[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
                out.append(u, sizeof u);
            }
        }
    }
    out.append(run, end);
}

namespace {

// A strict reader of one JSON value at a time over a line; nesting is bounded
// so a hostile line cannot exhaust the stack.
class JsonCursor {
public:
    explicit JsonCursor(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    void blanks() {
        while (p_ != end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n')) ++p_;
    }
    bool atEnd() const { return p_ == end_; }
    bool take(char c) {
        if (p_ == end_ || *p_ != c) return false;
        ++p_;
        return true;
    }
    char peek() const { return p_ == end_ ? '\0' : *p_; }

    // Reads a string; its bytes go to `out` when given.
    bool string(std::string* out) {
        if (!take('"')) return false;
        for (;;) {
            const char* run = p_;
            while (p_ != end_ && *p_ != '"' && *p_ != '\\' &&
                   static_cast<unsigned char>(*p_) >= 0x20)
                ++p_;
            if (out) out->append(run, p_);
            if (p_ == end_ || static_cast<unsigned char>(*p_) < 0x20) return false;
            if (*p_++ == '"') return true;
            if (p_ == end_) return false;
            const char e = *p_++;
            char plain = 0;
            switch (e) {
                case '"':
                    plain = '"';
                    break;
                case '\\':
                    plain = '\\';
                    break;
                case '/':
                    plain = '/';
                    break;
                case 'b':
                    plain = '\b';
                    break;
                case 'f':
                    plain = '\f';
                    break;
                case 'n':
                    plain = '\n';
                    break;
                case 'r':
                    plain = '\r';
                    break;
                case 't':
                    plain = '\t';
                    break;
                case 'u':
                    if (!codePoint(out)) return false;
                    continue;
                default:
                    return false;
            }
            if (out) out->push_back(plain);
        }
    }

    bool number(std::optional<double>* out) {
        const char* start = p_;
        take('-');
        if (take('0')) {
        } else if (!digits()) {
            return false;
        }
        if (take('.') && !digits()) return false;
        if (take('e') || take('E')) {
            if (!take('+')) take('-');
            if (!digits()) return false;
        }
        if (out) {
            double value = 0;
            const auto [ptr, error] = std::from_chars(start, p_, value);
            // Out of range still reads as a number, not as damage.
            if (ptr == p_ && error == std::errc{}) *out = value;
        }
        return true;
    }

    bool value(int depth) {
        if (depth > 64) return false;
        blanks();
        switch (peek()) {
            case '"':
                return string(nullptr);
            case '{':
                return object(depth + 1, nullptr);
            case '[': {
                ++p_;
                blanks();
                if (take(']')) return true;
                do {
                    if (!value(depth + 1)) return false;
                    blanks();
                } while (take(','));
                return take(']');
            }
            case 't':
                return word("true");
            case 'f':
                return word("false");
            case 'n':
                return word("null");
            default:
                return number(nullptr);
        }
    }

    // An object; at the top level `fields` collects "t" and "frame".
    bool object(int depth, RecordingLineFields* fields) {
        if (!take('{')) return false;
        blanks();
        if (take('}')) return true;
        std::string name;
        do {
            blanks();
            name.clear();
            if (!string(&name)) return false;
            blanks();
            if (!take(':')) return false;
            blanks();
            if (fields && name == "t" && (peek() == '-' || (peek() >= '0' && peek() <= '9'))) {
                fields->t.reset();
                if (!number(&fields->t)) return false;
            } else if (fields && name == "t") {
                fields->t.reset();
                if (!value(depth)) return false;
            } else if (fields && name == "frame" && peek() == '"') {
                fields->hasFrame = true;
                fields->frame.clear();
                if (!string(&fields->frame)) return false;
            } else if (!value(depth)) {
                return false;
            }
            blanks();
        } while (take(','));
        return take('}');
    }

private:
    bool digits() {
        const char* start = p_;
        while (p_ != end_ && *p_ >= '0' && *p_ <= '9') ++p_;
        return p_ != start;
    }
    bool word(std::string_view w) {
        if (static_cast<std::size_t>(end_ - p_) < w.size() || std::string_view(p_, w.size()) != w)
            return false;
        p_ += w.size();
        return true;
    }
    bool hex4(uint32_t& v) {
        if (end_ - p_ < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = *p_++;
            const int d = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
            if (d < 0) return false;
            v = v * 16 + static_cast<uint32_t>(d);
        }
        return true;
    }
    // After "\u": up to 00FF one byte (the Latin-1 the writer meant), above
    // that UTF-8; a surrogate needs its partner.
    bool codePoint(std::string* out) {
        uint32_t v = 0;
        if (!hex4(v)) return false;
        if (v >= 0xDC00 && v <= 0xDFFF) return false;
        if (v >= 0xD800 && v <= 0xDBFF) {
            uint32_t low = 0;
            if (!take('\\') || !take('u') || !hex4(low) || low < 0xDC00 || low > 0xDFFF)
                return false;
            v = 0x10000 + ((v - 0xD800) << 10) + (low - 0xDC00);
        }
        if (!out) return true;
        if (v <= 0xFF) {
            out->push_back(static_cast<char>(v));
        } else if (v <= 0x7FF) {
            out->push_back(static_cast<char>(0xC0 | (v >> 6)));
            out->push_back(static_cast<char>(0x80 | (v & 0x3F)));
        } else if (v <= 0xFFFF) {
            out->push_back(static_cast<char>(0xE0 | (v >> 12)));
            out->push_back(static_cast<char>(0x80 | ((v >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (v & 0x3F)));
        } else {
            out->push_back(static_cast<char>(0xF0 | (v >> 18)));
            out->push_back(static_cast<char>(0x80 | ((v >> 12) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | ((v >> 6) & 0x3F)));
            out->push_back(static_cast<char>(0x80 | (v & 0x3F)));
        }
        return true;
    }

    const char* p_;
    const char* end_;
};

}  // namespace

bool parseRecordingLine(std::string_view line, RecordingLineFields& out) {
    out.t.reset();
    out.hasFrame = false;
    out.frame.clear();
    JsonCursor cursor(line);
    cursor.blanks();
    if (!cursor.object(0, &out)) return false;
    cursor.blanks();
    return cursor.atEnd();
}

}  // namespace korvane
