#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "tools/blocksim/BlockSetup.h"

namespace kelvra::test {

std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path);

// One channel of a WAV file: a block's copy of a record, or silence.
struct ChannelSource {
    const blocksim::BlockSetup* block = nullptr;  // nullptr: a silent channel
    std::uint8_t address = 0;
};

// The sample data a file must hold: frames of the left and right channels' record bytes,
// computed from the simulated blocks' generator.
std::vector<std::uint8_t> expectedSampleData(ChannelSource left, ChannelSource right,
                                             std::uint8_t recordIndex, std::uint32_t channelBytes);

}  // namespace kelvra::test
