#pragma once

#include <cstdint>

// What a block's firmware version decides, in one place. A version is major * 10 + minor, as
// the greeting reports it (42 is 4.2).
namespace kelvra {

struct ReadModes {
    bool addressedReads = false;  // single sectors by address
    bool batchReads = false;      // batches of sectors by address
};

// Addressed reads from 1.3, 2.2, 3.1 and 4.0 to 6.9, batches from 4.0 to 6.9; other versions
// stream in basic mode.
ReadModes readModes(int firmware);

// Blocks before 6.0 store neither rate nor length in their directory: every record has the
// fixed format of its firmware.
bool storesRecordFormat(int firmware);

struct RecordFormat {
    std::uint16_t sampleRate = 0;  // Hz
    std::uint16_t duration = 0;    // seconds
};

// The fixed record format of a block that does not store it: 120 s at 21362 Hz on 5.x, at
// 21333 Hz before.
RecordFormat fixedRecordFormat(int firmware);

// Sectors between two session headers in a block's memory: four records of the length the
// firmware assumes (180 s at 21362 Hz from 6.0), and six sectors more.
std::uint32_t sessionStride(int firmware);

}  // namespace kelvra
