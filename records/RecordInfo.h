#pragma once

#include <cstdint>

namespace kelvra {

inline constexpr int kRecordRows = 320;
inline constexpr int kNoCopy = -1;

// One row of the merged record table: one record, with the copy of each block that holds it.
struct RecordInfo {
    std::int32_t addrA = kNoCopy;
    std::int32_t addrB = kNoCopy;
    std::uint8_t swapped = 0;
    std::int32_t recordNo = 0;
    std::uint8_t recordsInEntry = 0;
    std::uint8_t entryInfo[4] = {0, 0, 0, 0};
    std::uint8_t second = 0;
    std::uint8_t minute = 0;
    std::uint8_t hour = 0;
    std::uint8_t day = 0;
    std::uint8_t month = 0;
    std::uint8_t year = 0;
    std::uint8_t setting1[2] = {0, 0};
    std::uint8_t setting2[2] = {0, 0};
    std::uint16_t sampleRate = 0;
    std::uint16_t duration = 0;

    bool operator==(const RecordInfo&) const = default;
};

}  // namespace kelvra
