#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/LookCanvas.h"
#include "cli/LookOverview.h"

namespace kelvra::cli {

inline constexpr int kLookWidth = 1280;
inline constexpr int kLookHeight = 760;
// The plots' width: one column of the overview a pixel, from x = kLookPlotLeft.
inline constexpr int kLookColumns = 1170;
inline constexpr int kLookPlotLeft = 90;
// Each channel's spectrogram: its top row (the highest frequency) and its rows.
inline constexpr int kLookSpectrogramTop[2] = {168, 498};
inline constexpr int kLookSpectrogramHeight = 200;

struct LookPictureFacts {
    std::string fileName;  // UTF-8
    std::uint32_t sampleRate = 0;
    std::uint64_t frames = 0;
    // The record's start as a clock time and its date, when the download manifest knows them:
    // the time axis then reads the time of day.
    std::optional<int> startSecondOfDay;
    std::string date;
    std::array<std::string, 2> channelTitles;  // left, right
};

// The file's name; for each channel a waveform (smallest and largest sample of each column)
// above a spectrogram up to half the sample rate; a time axis below.
LookCanvas drawLook(const LookOverview& overview, const LookPictureFacts& facts);

}  // namespace kelvra::cli
