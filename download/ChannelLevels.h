#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kelvra {

// What one channel of a file holds, as a glance at it: enough to tell a dead input, a loose
// microphone or an overdriven block before the recorder goes out again.
struct ChannelLevels {
    // Relative to 32768; nothing for a channel of zeros, whose level has no logarithm.
    std::optional<double> peakDbfs;
    std::optional<double> rmsDbfs;
    // Samples at either end of the range, -32768 or +32767.
    std::uint64_t clipped = 0;
    std::uint64_t samples = 0;
    // At or below kSilentPeakDbfs, or no block's copy in the channel.
    bool silent = true;
};

// A peak this low is no signal: an input that is dead or not connected.
inline constexpr double kSilentPeakDbfs = -60.0;

// Levels of both channels of 16-bit stereo frames, taken as the frames go by, so that a file's
// levels cost no second read of it.
class LevelMeter {
public:
    // Whole 4-byte frames, left sample first, each little-endian; a trailing part of a frame is
    // not counted.
    void add(const std::uint8_t* frames, std::size_t bytes);
    void reset() { channels_ = {}; }

    // Channel 0 is the left one. A channel that holds no block's copy is silent whatever it
    // holds.
    ChannelLevels levels(int channel, bool holdsCopy) const;

private:
    struct Running {
        std::uint32_t peak = 0;  // the largest magnitude, up to 32768
        std::uint64_t sumOfSquares = 0;
        std::uint64_t clipped = 0;
        std::uint64_t samples = 0;
    };
    std::array<Running, 2> channels_{};
};

// One channel of a written file: the block whose copy it holds, named by the slot the block sat
// in when the job began (as the manifest names its copies), and what the channel holds.
struct FileChannel {
    std::optional<char> block;  // 'A' or 'B'; nothing when no block's copy is in it
    ChannelLevels levels;
};
using FileChannels = std::array<FileChannel, 2>;  // left, right

}  // namespace kelvra
