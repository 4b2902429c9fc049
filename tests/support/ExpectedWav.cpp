#include "tests/support/ExpectedWav.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace kelvra::test {

namespace {

constexpr std::size_t kHeaderBytes = 76;

const blocksim::EntrySetup& entryAt(const blocksim::BlockSetup& block, std::uint8_t address) {
    const auto found = std::find_if(block.entries.begin(), block.entries.end(),
                                    [&](const auto& entry) { return entry.address == address; });
    if (found == block.entries.end()) {
        throw std::logic_error("the block holds no entry at that address");
    }
    return *found;
}

void put16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void put32(std::uint8_t* at, std::uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

// The 8 bytes naming a channel's block; zeros for a silent channel.
void describe(std::uint8_t* at, ChannelSource channel, std::uint8_t recordIndex) {
    if (channel.block == nullptr) {
        return;
    }
    const blocksim::BlockSetup& block = *channel.block;
    const blocksim::EntrySetup& entry = entryAt(block, channel.address);
    at[0] = entry.setting2.at(recordIndex);
    at[1] = entry.setting1.at(recordIndex);
    at[2] = block.serialYear;
    at[3] = block.firmware;
    put16(at + 4, block.serialNumber);
}

}  // namespace

RecordFormat recordFormat(const blocksim::BlockSetup& block, std::uint8_t address) {
    const blocksim::EntrySetup& entry = entryAt(block, address);
    const int major = block.firmware / 10;
    if (major >= 6) {
        return {entry.sampleRate, 2u * entry.sampleRate * entry.duration};
    }
    const std::uint32_t rate = major == 5 ? 21362 : 21333;
    return {rate, 2 * rate * 120};
}

std::vector<std::uint8_t> expectedWavFile(ChannelSource left, ChannelSource right,
                                          std::uint8_t recordIndex) {
    const ChannelSource& named = left.block != nullptr ? left : right;
    if (named.block == nullptr) {
        throw std::logic_error("a file has at least one block's channel");
    }
    const RecordFormat format = recordFormat(*named.block, named.address);
    std::vector<std::uint8_t> file(kHeaderBytes, 0);
    std::memcpy(file.data(), "RIFF", 4);
    put32(&file[4], 2 * format.channelBytes + 68);
    std::memcpy(&file[8], "WAVEfmt ", 8);
    put32(&file[16], 48);
    put16(&file[20], 1);
    put16(&file[22], 2);
    put32(&file[24], format.sampleRate);
    put32(&file[28], format.sampleRate * 4);
    put16(&file[32], 4);
    put16(&file[34], 16);
    put16(&file[36], 30);
    describe(&file[38], left, recordIndex);
    describe(&file[46], right, recordIndex);
    std::memcpy(&file[68], "data", 4);
    put32(&file[72], 2 * format.channelBytes);
    const std::vector<std::uint8_t> samples =
        expectedSampleData(left, right, recordIndex, format.channelBytes);
    file.insert(file.end(), samples.begin(), samples.end());
    return file;
}

std::string fileDifference(const std::vector<std::uint8_t>& actual,
                           const std::vector<std::uint8_t>& expected) {
    const auto [at, _] =
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    const auto offset = static_cast<std::size_t>(at - actual.begin());
    if (offset == actual.size() && actual.size() == expected.size()) {
        return {};
    }
    std::string text =
        std::to_string(actual.size()) + " bytes, " + std::to_string(expected.size()) + " expected";
    if (offset < actual.size() && offset < expected.size()) {
        text += "; first difference at byte " + std::to_string(offset);
        if (offset >= kHeaderBytes) {
            text += " (frame " + std::to_string((offset - kHeaderBytes) / 4) + ")";
        }
    }
    return text;
}

}  // namespace kelvra::test
