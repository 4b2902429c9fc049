#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "cli/graphics/FrequencyBins.h"

namespace kelvra::cli {

// What the picture of a file shows, gathered column by column as the frames go by: for each
// channel the smallest and largest sample and the mean spectrum of each column. Its size
// depends on the number of columns only, never on the file's length.
class LookOverview {
public:
    static constexpr std::size_t kWindow = 1024;  // samples a spectrum, Hann-windowed
    static constexpr std::size_t kBins = kWindow / 2;
    // Spectra a column averages at most: enough that a long file is not judged from a few
    // snapshots, few enough that an hour costs well under a second.
    static constexpr std::uint64_t kMaxWindowsPerColumn = 8;

    LookOverview(std::uint64_t frames, int columns);

    // Whole 4-byte frames, left sample first, in the file's order.
    void add(const std::uint8_t* frames, std::size_t bytes);
    // After the last frame: a column narrower than a frame shows the frame it lies in.
    void finish();

    int columns() const { return columns_; }
    struct Extent {
        std::int16_t min = 0;
        std::int16_t max = 0;
        bool any = false;
    };
    const Extent& extent(int channel, int column) const;
    // The column's mean power in `bin` (bin · sampleRate / kWindow Hz), in dB relative to a
    // full-scale sine's; -200 for a column with no spectrum.
    float level(int channel, int column, std::size_t bin) const;

private:
    void takeFrame(std::int16_t left, std::int16_t right);
    std::uint64_t windowEnd(std::uint64_t window) const;
    void takeWindow();

    std::uint64_t frames_;
    int columns_;
    std::uint64_t seen_ = 0;
    // The waveform's column and the first frame of the next.
    int column_ = 0;
    std::uint64_t nextColumnAt_ = 0;
    std::array<std::vector<Extent>, 2> extents_;

    // The spectra: windows evenly spaced through each column, each centred on its place.
    std::uint64_t windowsPerColumn_ = 1;
    std::uint64_t windows_ = 0;
    std::uint64_t nextWindow_ = 0;
    std::uint64_t nextWindowEnd_ = 0;
    std::array<std::vector<float>, 2> rings_;  // the last kWindow samples, scaled to ±1
    std::size_t ringAt_ = 0;
    std::vector<float> hann_;
    std::vector<float> windowed_;
    std::vector<float> powers_;
    std::array<std::vector<float>, 2> sums_;  // per column, kBins each
    std::vector<std::uint32_t> counts_;
    std::unique_ptr<FrequencyBins> spectrum_;
};

}  // namespace kelvra::cli
