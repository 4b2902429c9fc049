#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "download/WavReader.h"

namespace kelvra::cli {

// A file on the disk as the WAV reader's source, read with the standard library.
class WavFileSource : public ByteSource {
public:
    // Opens a regular file at `path` (UTF-8); nothing when there is none, with why in `why`
    // ("no such file", "a folder, not a file").
    static std::unique_ptr<WavFileSource> open(const std::string& path, std::string& why);

    std::uint64_t size() const override { return size_; }
    std::size_t read(std::uint64_t offset, std::uint8_t* into, std::size_t count) override;
    std::string failure() const override { return failure_; }

private:
    WavFileSource() = default;

    std::ifstream file_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
    std::string failure_;
};

}  // namespace kelvra::cli
