#pragma once

// A writer that takes the first `limit` bytes and fails every write that goes
// past them, as a full disk fails a file: the save paths' failures on every
// system, with no disk to fill.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tables/binary_file.h"

namespace korvane::testing {

class FailDevice : public ByteSink {
public:
    explicit FailDevice(std::size_t limit) : limit_(limit) {}

    bool write(const void* bytes, std::size_t size) override {
        const std::size_t taken = std::min(size, limit_ - written_.size());
        const auto* first = static_cast<const uint8_t*>(bytes);
        written_.insert(written_.end(), first, first + taken);
        return taken == size;
    }
    const std::vector<uint8_t>& written() const { return written_; }

private:
    std::size_t limit_;
    std::vector<uint8_t> written_;
};

}  // namespace korvane::testing
