#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/WavExpectation.h"

namespace kelvra::test {

// Sample rate and bytes per channel of a record as a simulated block holds it: the entry's
// own from firmware 6.0 on, a fixed 120 s at 21362 (major 5) or 21333 samples per second
// before.
struct RecordFormat {
    std::uint32_t sampleRate = 0;
    std::uint32_t channelBytes = 0;
};
RecordFormat recordFormat(const blocksim::BlockSetup& block, std::uint8_t address);

// The whole file an uninterrupted download makes of record `recordIndex` with these channels:
// the 76-byte header, with each present channel described by its block and by its entry's
// settings for the record, then the interleaved samples. At least one channel has a block.
std::vector<std::uint8_t> expectedWavFile(ChannelSource left, ChannelSource right,
                                          std::uint8_t recordIndex);

// Empty when the two files are equal; otherwise where they first differ, in a few words
// (files of megabytes are not worth printing whole).
std::string fileDifference(const std::vector<std::uint8_t>& actual,
                           const std::vector<std::uint8_t>& expected);

}  // namespace kelvra::test
