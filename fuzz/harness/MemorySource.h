#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "download/WavReader.h"

namespace kelvra::fuzz {

// Bytes in memory as a WAV file. It notes a read that reaches past their end, which the reader
// never has reason to ask for, and can claim a larger size than it holds, as a file that
// shrinks while it is read.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes, std::uint64_t claimedSize = 0)
        : bytes_(bytes), size_(claimedSize != 0 ? claimedSize : bytes.size()) {}

    std::uint64_t size() const override { return size_; }
    std::size_t read(std::uint64_t offset, std::uint8_t* into, std::size_t count) override;
    std::string failure() const override { return {}; }
    bool readPastTheEnd() const { return readPastTheEnd_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::uint64_t size_;
    bool readPastTheEnd_ = false;
};

}  // namespace kelvra::fuzz
