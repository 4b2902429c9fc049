#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelvra::test {

// What `sox --i` reads from an audio file's header.
struct SoxInfo {
    int channels = 0;
    std::uint32_t sampleRate = 0;
    int precisionBits = 0;
    std::uint64_t samples = 0;  // per channel
    std::string encoding;
};

// Runs `sox --i` on the file; nothing when sox is missing or does not accept the file.
std::optional<SoxInfo> soxInfo(const std::string& path);

}  // namespace kelvra::test
