#pragma once

#include <cstdint>

namespace kelvra {

// A 32-byte directory entry as a block sends it; date and time still in BCD.
struct DirEntry {
    std::uint8_t lead = 0;
    std::uint8_t recordCount = 0;
    std::uint8_t entryInfo[4] = {0, 0, 0, 0};
    std::uint8_t address = 0;
    std::uint8_t second = 0;
    std::uint8_t minute = 0;
    std::uint8_t hour = 0;
    std::uint8_t day = 0;
    std::uint8_t month = 0;
    std::uint8_t year = 0;
    std::uint8_t flags = 0;
    std::uint8_t setting1[4] = {0, 0, 0, 0};
    std::uint8_t setting2[4] = {0, 0, 0, 0};
    std::uint16_t sampleRate = 0;
    std::uint16_t duration = 0;

    static constexpr std::uint8_t kRoleA = 0x02;

    static DirEntry fromBytes(const std::uint8_t* bytes);
};

}  // namespace kelvra
