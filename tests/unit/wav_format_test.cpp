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

TEST(WavHeader, SizesForATwoMinuteRecordAt21333) {
    const std::uint32_t channelBytes = 21333u * 120u * 2u;
    std::uint8_t header[kWavHeaderSize];
    const BlockDescription left = describeBlock(0x21, 0x12, 18, 42, 0x1234);
    buildWavHeader(header, channelBytes, 21333, left, BlockDescription{});
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
