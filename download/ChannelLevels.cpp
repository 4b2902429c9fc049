#include "download/ChannelLevels.h"

#include <cmath>

namespace kelvra {

namespace {

double dbfs(double magnitude) {
    return 20.0 * std::log10(magnitude / 32768.0);
}

}  // namespace

void LevelMeter::add(const std::uint8_t* frames, std::size_t bytes) {
    for (std::size_t at = 0; at + 4 <= bytes; at += 4) {
        for (std::size_t channel = 0; channel < 2; ++channel) {
            const std::uint8_t* sample = frames + at + 2 * channel;
            const auto value =
                static_cast<std::int16_t>(static_cast<std::uint16_t>(sample[0] | (sample[1] << 8)));
            const auto magnitude = static_cast<std::uint32_t>(value < 0 ? -value : value);
            Running& running = channels_[channel];
            running.peak = magnitude > running.peak ? magnitude : running.peak;
            // At most 2^30 per sample: 2^34 samples before the sum could overflow, far beyond
            // the longest record.
            running.sumOfSquares += std::uint64_t{magnitude} * magnitude;
            running.clipped += (value == -32768 || value == 32767) ? 1 : 0;
            ++running.samples;
        }
    }
}

ChannelLevels LevelMeter::levels(int channel, bool holdsCopy) const {
    const Running& running = channels_[channel == 0 ? 0 : 1];
    ChannelLevels levels;
    levels.clipped = running.clipped;
    levels.samples = running.samples;
    if (running.peak != 0) {
        levels.peakDbfs = dbfs(running.peak);
        levels.rmsDbfs = dbfs(std::sqrt(static_cast<double>(running.sumOfSquares) /
                                        static_cast<double>(running.samples)));
    }
    levels.silent = !holdsCopy || !levels.peakDbfs || *levels.peakDbfs <= kSilentPeakDbfs;
    return levels;
}

}  // namespace kelvra
