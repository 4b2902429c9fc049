#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "download/ChannelLevels.h"

namespace kelvra {
namespace {

// Stereo frames from two channels of samples, as a file holds them.
std::vector<std::uint8_t> framesOf(const std::vector<int>& left, const std::vector<int>& right) {
    std::vector<std::uint8_t> frames;
    for (std::size_t k = 0; k < left.size(); ++k) {
        for (const int sample : {left[k], right[k]}) {
            const auto bits = static_cast<std::uint16_t>(static_cast<std::int16_t>(sample));
            frames.push_back(static_cast<std::uint8_t>(bits & 0xFF));
            frames.push_back(static_cast<std::uint8_t>(bits >> 8));
        }
    }
    return frames;
}

TEST(ChannelLevels, FullScaleSquareWaveIsAtZeroDbfsAndClippedThroughout) {
    std::vector<int> square;
    for (int k = 0; k < 1000; ++k) {
        square.push_back(k % 2 == 0 ? 32767 : -32768);
    }
    LevelMeter meter;
    const std::vector<std::uint8_t> frames = framesOf(square, std::vector<int>(1000, 0));
    // Fed in pieces that split frames: only whole frames count, as the writer hands them.
    meter.add(frames.data(), 6);
    meter.add(frames.data() + 4, frames.size() - 4);

    const ChannelLevels left = meter.levels(0, true);
    EXPECT_EQ(left.samples, 1000u);
    EXPECT_NEAR(*left.peakDbfs, 0.0, 0.005);
    EXPECT_NEAR(*left.rmsDbfs, 0.0, 0.005);
    EXPECT_EQ(left.clipped, 1000u);
    EXPECT_FALSE(left.silent);

    const ChannelLevels right = meter.levels(1, true);
    EXPECT_FALSE(right.peakDbfs.has_value());
    EXPECT_FALSE(right.rmsDbfs.has_value());
    EXPECT_EQ(right.clipped, 0u);
    EXPECT_TRUE(right.silent);
}

TEST(ChannelLevels, HalfScaleToneWithTwoClippedSamples) {
    std::vector<int> tone;
    for (int k = 0; k < 4800; ++k) {
        tone.push_back(
            static_cast<int>(std::lround(16384 * std::sin(k * 2 * std::numbers::pi / 48))));
    }
    tone[100] = 32767;
    tone[200] = -32768;
    LevelMeter meter;
    const std::vector<std::uint8_t> frames = framesOf(tone, tone);
    meter.add(frames.data(), frames.size());

    const ChannelLevels levels = meter.levels(1, true);
    EXPECT_NEAR(*levels.peakDbfs, 0.0, 0.005);
    // A sine's RMS is 3.01 dB below its peak: half scale gives -9.03 dBFS, which the two
    // clipped samples lift only slightly.
    EXPECT_NEAR(*levels.rmsDbfs, -9.03, 0.1);
    EXPECT_EQ(levels.clipped, 2u);
    EXPECT_FALSE(levels.silent);
}

TEST(ChannelLevels, SilentAtMinusSixtyDbfsOrWithoutABlock) {
    // 32 / 32768 is -60.2 dBFS, 33 / 32768 is -59.9.
    LevelMeter meter;
    const std::vector<std::uint8_t> frames = framesOf({32, -5, 0}, {-33, 7, 0});
    meter.add(frames.data(), frames.size());

    EXPECT_TRUE(meter.levels(0, true).silent);
    EXPECT_NEAR(*meter.levels(0, true).peakDbfs, -60.21, 0.01);
    EXPECT_FALSE(meter.levels(1, true).silent);
    // No block's copy: silent whatever the samples, which are still measured.
    EXPECT_TRUE(meter.levels(1, false).silent);
    EXPECT_NEAR(*meter.levels(1, false).peakDbfs, -59.94, 0.01);

    meter.reset();
    EXPECT_EQ(meter.levels(1, true).samples, 0u);
    EXPECT_FALSE(meter.levels(1, true).peakDbfs.has_value());
}

}  // namespace
}  // namespace kelvra
