#include "tests/support/WavExpectation.h"

#include <fstream>
#include <iterator>

#include "tools/blocksim/SampleGenerator.h"

namespace kelvra::test {

std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::uint8_t> expectedSampleData(ChannelSource left, ChannelSource right,
                                             std::uint8_t recordIndex, std::uint32_t channelBytes) {
    std::vector<std::uint8_t> leftBytes(channelBytes, 0);
    std::vector<std::uint8_t> rightBytes(channelBytes, 0);
    if (left.block != nullptr) {
        blocksim::fillRecordBytes(*left.block, left.address, recordIndex, 0, leftBytes.data(),
                                  channelBytes);
    }
    if (right.block != nullptr) {
        blocksim::fillRecordBytes(*right.block, right.address, recordIndex, 0, rightBytes.data(),
                                  channelBytes);
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
