#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "download/WavFormat.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t read32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0] | (at[1] << 8) | (at[2] << 16)) |
           (static_cast<std::uint32_t>(at[3]) << 24);
}

std::uint64_t read64(const std::uint8_t* at) {
    return read32(at) | (static_cast<std::uint64_t>(read32(at + 4)) << 32);
}

TEST(WavHeader, SizesForATwoMinuteRecordAt21333) {
    const std::uint32_t channelBytes = 21333u * 120u * 2u;
    const BlockDescription left = describeBlock(0x21, 0x12, 18, 42, 0x1234);
    const WavHeader built = buildWavHeader(channelBytes, 21333, left, BlockDescription{});
    ASSERT_EQ(built.size, kWavHeaderSize);
    const std::uint8_t* header = built.bytes;
    EXPECT_EQ(Bytes(header, header + 4), Bytes({'R', 'I', 'F', 'F'}));
    EXPECT_EQ(read32(header + 4), 2 * channelBytes + 68);
    EXPECT_EQ(Bytes(header + 8, header + 16), Bytes({'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}));
    EXPECT_EQ(read32(header + 16), 48u);
    EXPECT_EQ(Bytes(header + 20, header + 24), (Bytes{1, 0, 2, 0}));
    EXPECT_EQ(read32(header + 24), 21333u);
    EXPECT_EQ(read32(header + 28), 21333u * 4);
    EXPECT_EQ(Bytes(header + 32, header + 38), (Bytes{4, 0, 16, 0, 30, 0}));
    EXPECT_EQ(Bytes(header + 38, header + 46), (Bytes{0x21, 0x12, 18, 42, 0x34, 0x12, 0, 0}));
    EXPECT_EQ(Bytes(header + 46, header + 68), Bytes(22, 0));
    EXPECT_EQ(Bytes(header + 68, header + 72), Bytes({'d', 'a', 't', 'a'}));
    EXPECT_EQ(read32(header + 72), 2 * channelBytes);
    EXPECT_EQ(channelBytes % 512, 432u) << "the last pair carries 432 bytes per channel";
}

TEST(WavHeader, DataAboveTheRiffLimitMakeRf64WithTheSameFormatChunk) {
    // Twelve hours at 48000 Hz: 4147200000 bytes per channel, twice that of sample data.
    const std::uint64_t channelBytes = 48000ull * 43200 * 2;
    const BlockDescription left = describeBlock(0x21, 0x12, 18, 42, 0x1234);
    const BlockDescription right = describeBlock(0x05, 0x06, 19, 43, 0x0102);
    const WavHeader riff = buildWavHeader(1000, 48000, left, right);
    const WavHeader rf64 = buildWavHeader(channelBytes, 48000, left, right);
    ASSERT_EQ(rf64.size, kRf64HeaderSize);
    const std::uint8_t* header = rf64.bytes;
    EXPECT_EQ(Bytes(header, header + 4), Bytes({'R', 'F', '6', '4'}));
    EXPECT_EQ(read32(header + 4), 0xFFFFFFFFu);
    EXPECT_EQ(Bytes(header + 8, header + 16), Bytes({'W', 'A', 'V', 'E', 'd', 's', '6', '4'}));
    EXPECT_EQ(read32(header + 16), 28u);
    EXPECT_EQ(read64(header + 20), 2 * channelBytes + kRf64HeaderSize - 8) << "RIFF size";
    EXPECT_EQ(read64(header + 28), 2 * channelBytes) << "data size";
    EXPECT_EQ(read64(header + 36), channelBytes / 2) << "frames";
    EXPECT_EQ(read32(header + 44), 0u) << "no table of other sizes";
    EXPECT_EQ(Bytes(header + 48, header + 104), Bytes(riff.bytes + 12, riff.bytes + 68));
    EXPECT_EQ(Bytes(header + 104, header + 108), Bytes({'d', 'a', 't', 'a'}));
    EXPECT_EQ(read32(header + 108), 0xFFFFFFFFu);

    // The switch: data of exactly the limit still fit a RIFF file, a byte more does not.
    EXPECT_EQ(wavHeaderSize(kMaxRiffDataBytes / 2), kWavHeaderSize);
    EXPECT_EQ(wavHeaderSize(kMaxRiffDataBytes / 2 + 1), kRf64HeaderSize);
    EXPECT_EQ(wavHeaderSize(501, 1000), kRf64HeaderSize);
    EXPECT_EQ(wavHeaderSizeOf(header), kRf64HeaderSize);
    EXPECT_EQ(wavHeaderSizeOf(riff.bytes), kWavHeaderSize);
}

TEST(WavFileName, MonthsYearsAndRecordNumbers) {
    RecordInfo row;
    row.day = 5;
    row.month = 3;
    row.year = 18;
    row.hour = 14;
    row.minute = 7;
    row.second = 9;
    row.recordNo = 2;
    EXPECT_EQ(wavFileName(row), "5 Марта 18г 14-07-09 Запись 2.wav");
    row.month = 0;
    EXPECT_EQ(wavFileName(row), "5 Error 18г 14-07-09 Запись 2.wav");
    row.month = 13;
    EXPECT_EQ(wavFileName(row), "5 Error 18г 14-07-09 Запись 2.wav");
    row.month = 12;
    row.year = 5;
    EXPECT_EQ(wavFileName(row), "5 Декабря 5г 14-07-09 Запись 2.wav");
}

TEST(WavFrames, LeftSampleThenRightSample) {
    std::uint8_t left[512], right[512], frames[1024];
    for (int i = 0; i < 512; ++i) {
        left[i] = static_cast<std::uint8_t>(i);
        right[i] = static_cast<std::uint8_t>(0x80 + i);
    }
    std::memset(frames, 0xEE, sizeof frames);
    interleaveFrames(left, right, 6, frames);
    EXPECT_EQ(Bytes(frames, frames + 14),
              (Bytes{0, 1, 0x80, 0x81, 2, 3, 0x82, 0x83, 4, 5, 0x84, 0x85, 0xEE, 0xEE}));
}

}  // namespace
}  // namespace kelvra
