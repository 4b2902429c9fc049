#include "cli/LookOverview.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kelvra::cli {

namespace {

// With a Hann window a full-scale sine's bin has the magnitude kWindow / 4.
constexpr double kFullScalePower = (LookOverview::kWindow / 4.0) * (LookOverview::kWindow / 4.0);

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) {
    return a / b + (a % b != 0 ? 1 : 0);
}

}  // namespace

LookOverview::LookOverview(std::uint64_t frames, int columns)
    : frames_(frames),
      columns_(std::max(columns, 1)),
      hann_(kWindow),
      windowed_(kWindow),
      powers_(kBins),
      counts_(static_cast<std::size_t>(columns_)),
      spectrum_(makeFrequencyBins(kWindow)) {
    const auto width = static_cast<std::uint64_t>(columns_);
    for (auto& extents : extents_) {
        extents.resize(static_cast<std::size_t>(columns_));
    }
    for (auto& ring : rings_) {
        ring.assign(kWindow, 0.0F);
    }
    for (auto& sums : sums_) {
        sums.assign(static_cast<std::size_t>(columns_) * kBins, 0.0F);
    }
    for (std::size_t i = 0; i < kWindow; ++i) {
        hann_[i] = static_cast<float>(
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / kWindow));
    }
    nextColumnAt_ = ceilDiv(frames_, width);
    if (frames_ > 0) {
        windowsPerColumn_ =
            std::clamp<std::uint64_t>(ceilDiv(frames_, width * kWindow), 1, kMaxWindowsPerColumn);
        windows_ = width * windowsPerColumn_;
        nextWindowEnd_ = windowEnd(0);
    }
}

// Window w is centred at (w + 1/2) / windows of the file, and ends half a window later or at
// the last frame; those ends never decrease. The start of the file is taken as silence before
// it.
std::uint64_t LookOverview::windowEnd(std::uint64_t window) const {
    const std::uint64_t centre = (2 * window + 1) * frames_ / (2 * windows_);
    return std::min(centre + kWindow / 2, frames_);
}

void LookOverview::add(const std::uint8_t* frames, std::size_t bytes) {
    for (std::size_t at = 0; at + 4 <= bytes; at += 4) {
        const auto left = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(frames[at] | (frames[at + 1] << 8)));
        const auto right = static_cast<std::int16_t>(
            static_cast<std::uint16_t>(frames[at + 2] | (frames[at + 3] << 8)));
        takeFrame(left, right);
    }
}

void LookOverview::takeFrame(std::int16_t left, std::int16_t right) {
    if (seen_ >= frames_) {
        return;
    }
    while (seen_ == nextColumnAt_ && column_ + 1 < columns_) {
        ++column_;
        nextColumnAt_ = ceilDiv((static_cast<std::uint64_t>(column_) + 1) * frames_,
                                static_cast<std::uint64_t>(columns_));
    }
    const std::int16_t samples[2] = {left, right};
    for (std::size_t channel = 0; channel < 2; ++channel) {
        Extent& extent = extents_[channel][static_cast<std::size_t>(column_)];
        const std::int16_t sample = samples[channel];
        if (!extent.any) {
            extent = {sample, sample, true};
        } else {
            extent.min = std::min(extent.min, sample);
            extent.max = std::max(extent.max, sample);
        }
        rings_[channel][ringAt_] = static_cast<float>(sample) / 32768.0F;
    }
    ringAt_ = (ringAt_ + 1) % kWindow;
    ++seen_;
    while (nextWindow_ < windows_ && nextWindowEnd_ == seen_) {
        takeWindow();
        ++nextWindow_;
        if (nextWindow_ < windows_) {
            nextWindowEnd_ = windowEnd(nextWindow_);
        }
    }
}

void LookOverview::takeWindow() {
    const std::size_t column = static_cast<std::size_t>(nextWindow_ / windowsPerColumn_);
    for (std::size_t channel = 0; channel < 2; ++channel) {
        const std::vector<float>& ring = rings_[channel];
        // Oldest first: the ring's next slot to be written holds the oldest sample.
        for (std::size_t i = 0; i < kWindow; ++i) {
            windowed_[i] = ring[(ringAt_ + i) % kWindow] * hann_[i];
        }
        spectrum_->powers(windowed_.data(), powers_.data());
        float* sums = sums_[channel].data() + column * kBins;
        for (std::size_t bin = 0; bin < kBins; ++bin) {
            sums[bin] += powers_[bin];
        }
    }
    ++counts_[column];
}

void LookOverview::finish() {
    for (auto& extents : extents_) {
        for (std::size_t column = 1; column < extents.size(); ++column) {
            if (!extents[column].any) {
                extents[column] = extents[column - 1];
            }
        }
    }
}

const LookOverview::Extent& LookOverview::extent(int channel, int column) const {
    return extents_[channel == 0 ? 0 : 1][static_cast<std::size_t>(column)];
}

float LookOverview::level(int channel, int column, std::size_t bin) const {
    const auto at = static_cast<std::size_t>(column);
    if (counts_[at] == 0) {
        return -200.0F;
    }
    const double power = static_cast<double>(sums_[channel == 0 ? 0 : 1][at * kBins + bin]) /
                         static_cast<double>(counts_[at]);
    return static_cast<float>(10.0 * std::log10(power / kFullScalePower + 1e-20));
}

}  // namespace kelvra::cli
