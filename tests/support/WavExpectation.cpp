#include "tests/support/WavExpectation.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tools/blocksim/SampleGenerator.h"

namespace kelvra::test {

namespace {

// The samples of the entry at `address`, which its sample seed and shape pick.
void fillChannel(const ChannelSource& source, std::uint8_t recordIndex, std::uint8_t* out,
                 std::uint32_t count) {
    const auto& entries = source.block->entries;
    const auto entry = std::find_if(entries.begin(), entries.end(), [&](const auto& candidate) {
        return candidate.address == source.address;
    });
    const blocksim::EntrySetup tone;
    const blocksim::EntrySetup& setup = entry == entries.end() ? tone : *entry;
    blocksim::fillRecordBytes(*source.block, source.address, recordIndex, 0, out, count,
                              setup.sampleSeed, setup.samples);
}

}  // namespace

std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> expectedSampleData(ChannelSource left, ChannelSource right,
                                             std::uint8_t recordIndex, std::uint32_t channelBytes) {
    std::vector<std::uint8_t> leftBytes(channelBytes, 0);
    std::vector<std::uint8_t> rightBytes(channelBytes, 0);
    if (left.block != nullptr) {
        fillChannel(left, recordIndex, leftBytes.data(), channelBytes);
    }
    if (right.block != nullptr) {
        fillChannel(right, recordIndex, rightBytes.data(), channelBytes);
    }
    std::vector<std::uint8_t> frames;
    frames.reserve(2 * static_cast<std::size_t>(channelBytes));
    for (std::uint32_t k = 0; k + 1 < channelBytes; k += 2) {
        frames.insert(frames.end(),
                      {leftBytes[k], leftBytes[k + 1], rightBytes[k], rightBytes[k + 1]});
    }
    return frames;
}

}  // namespace kelvra::test
