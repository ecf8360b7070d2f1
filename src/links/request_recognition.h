#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// What one look at the text received so far finds.
struct RequestCheck {
    bool complete = false;     // "!!" seen: the text is examined this once, then dropped
    bool request = false;      // complete, and holding "&&" too
    std::optional<float> gas;  // item 0140's value, when the complete text is a request
};

// A text is complete once it holds "!!" anywhere. A complete text is a request
// when it also holds "&&" anywhere and a number follows the first "0140" (read
// like scanf's "%f": blanks, sign, digits, point, exponent). Every byte counts,
// NULs included, so noise on the line cannot hide a request behind it.
RequestCheck recogniseRequest(std::string_view received);

// Bytes received from the peer, collected until they form a complete text.
class ReceivedText {
public:
    static constexpr std::size_t kCapacity = 1024;  // bytes, the NUL after the text included
    // More than this many bytes without "!!" are no record the peer would
    // send; they are dropped so the buffer never jams.
    static constexpr std::size_t kMaxHeld = 1014;

    char* end() { return text_ + length_; }
    std::size_t length() const { return length_; }
    std::string_view view() const { return {text_, length_}; }

    // Takes `count` bytes just read into end(). When they complete a text it is
    // examined and dropped, and a request's gas value is returned; a text that
    // grows past kMaxHeld is dropped.
    std::optional<float> add(std::size_t count);

private:
    void clear();

    char text_[kCapacity] = {};
    std::size_t length_ = 0;
};

// The records a receiver sends over a stream connection. Each text up to and
// including a "!!" is examined on its own (as ReceivedText examines one), so
// a record split across reads counts once and two in one read count twice.
// Text that grows past ReceivedText::kMaxHeld bytes without "!!" is dropped,
// all but what follows its last "&&", so a request after noise still counts.
class RequestRecords {
public:
    struct Found {
        int requests = 0;          // complete texts holding "&&"
        std::optional<float> gas;  // the last gas value among them
    };

    Found add(std::string_view data);

private:
    std::string held_;
};

}  // namespace korvane
