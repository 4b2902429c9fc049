#include "cli/LookPicture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/LatinLabel.h"
#include "cli/graphics/TextShapes.h"

namespace kelvra::cli {

namespace {

constexpr int kPlotLeft = kLookPlotLeft;
constexpr int kTitleTop = 10;
constexpr int kChannelTop = 44;
constexpr int kChannelPitch = 330;
constexpr int kWaveTop = 28;  // below the channel's title
constexpr int kWaveHeight = 90;
constexpr int kSpectrumTop = kWaveTop + kWaveHeight + 6;
constexpr int kSpectrumHeight = kLookSpectrogramHeight;
constexpr int kAxisTop = kChannelTop + kChannelPitch + kSpectrumTop + kSpectrumHeight;
static_assert(kLookSpectrogramTop[0] == kChannelTop + kSpectrumTop &&
              kLookSpectrogramTop[1] == kChannelTop + kChannelPitch + kSpectrumTop);

// The spectrogram's colours run from this level up to full scale.
constexpr float kFloorDb = -120.0F;

constexpr Rgb kPaper{250, 250, 250};
constexpr Rgb kInk{30, 30, 30};
constexpr Rgb kPlot{16, 20, 32};
constexpr Rgb kWave{120, 220, 150};
constexpr Rgb kMidLine{70, 80, 100};

Rgb heat(float db) {
    static constexpr Rgb kStops[] = {
        {0, 0, 0}, {40, 0, 110}, {180, 20, 90}, {250, 130, 20}, {255, 250, 190}};
    constexpr int kSteps = static_cast<int>(std::size(kStops)) - 1;
    const float at = std::clamp((db - kFloorDb) / -kFloorDb, 0.0F, 1.0F) * kSteps;
    const int low = std::min(static_cast<int>(at), kSteps - 1);
    const float part = at - static_cast<float>(low);
    const auto mix = [part](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (b - a) * part));
    };
    const Rgb& a = kStops[low];
    const Rgb& b = kStops[low + 1];
    return {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)};
}

// The smallest of `steps` that puts at most `most` ticks on `span`; beyond the last, it times
// powers of ten, so that no header's rate or length can ask for countless ticks.
double tickStep(double span, const double* steps, std::size_t count, double most) {
    for (std::size_t i = 0; i < count; ++i) {
        if (span / steps[i] <= most) {
            return steps[i];
        }
    }
    double step = steps[count - 1];
    while (span / step > most) {
        step *= 10;
    }
    return step;
}

std::string clockText(double second) {
    const auto whole = static_cast<long long>(std::floor(second)) % 86400;
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
    return text;
}

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

void drawWave(LookCanvas& canvas, const LookOverview& overview, int channel, int top) {
    canvas.fill(kPlotLeft, top, kPlotLeft + kLookColumns, top + kWaveHeight, kPlot);
    const int middle = top + kWaveHeight / 2;
    canvas.fill(kPlotLeft, middle, kPlotLeft + kLookColumns, middle + 1, kMidLine);
    const auto row = [&](int sample) {
        return middle - static_cast<int>(std::lround(sample * (kWaveHeight / 2 - 1) / 32768.0));
    };
    for (int column = 0; column < overview.columns(); ++column) {
        const LookOverview::Extent& extent = overview.extent(channel, column);
        if (extent.any) {
            canvas.fill(kPlotLeft + column, row(extent.max), kPlotLeft + column + 1,
                        row(extent.min) + 1, kWave);
        }
    }
}

void drawSpectrogram(LookCanvas& canvas, const LookOverview& overview, int channel, int top,
                     std::uint32_t sampleRate) {
    constexpr std::size_t kRows = kSpectrumHeight;
    for (int column = 0; column < overview.columns(); ++column) {
        for (std::size_t row = 0; row < kRows; ++row) {
            // Row 0 is the top: the highest frequencies.
            const std::size_t first = (kRows - 1 - row) * LookOverview::kBins / kRows;
            const std::size_t last =
                std::max(first + 1, (kRows - row) * LookOverview::kBins / kRows);
            float loudest = -200.0F;
            for (std::size_t bin = first; bin < last; ++bin) {
                loudest = std::max(loudest, overview.level(channel, column, bin));
            }
            canvas.put(kPlotLeft + column, top + static_cast<int>(row), heat(loudest));
        }
    }
    // The frequency axis, from 0 to half the sample rate.
    static constexpr double kSteps[] = {100, 200, 500, 1000, 2000, 5000, 10000, 20000, 50000};
    const double nyquist = sampleRate / 2.0;
    const double step = tickStep(nyquist, kSteps, std::size(kSteps), 6);
    for (double hz = 0; hz <= nyquist; hz += step) {
        const int y = top + kSpectrumHeight - 1 -
                      static_cast<int>(std::lround(hz / nyquist * (kSpectrumHeight - 1)));
        canvas.fill(kPlotLeft - 6, y, kPlotLeft, y + 1, kInk);
        const std::string label = hz >= 1000 ? numberText(hz / 1000) + "k" : numberText(hz);
        canvas.text(kPlotLeft - 10 - 2 * textWidth(label), y - 6, label, 2, kInk);
    }
    canvas.text(8, top, "Hz", 2, kInk);
}

void drawTimeAxis(LookCanvas& canvas, const LookPictureFacts& facts) {
    const int y = kAxisTop + 2;
    canvas.fill(kPlotLeft, y, kPlotLeft + kLookColumns, y + 1, kInk);
    const double seconds = static_cast<double>(facts.frames) / facts.sampleRate;
    const bool clock = facts.startSecondOfDay.has_value();
    const double start = clock ? *facts.startSecondOfDay : 0.0;
    std::string title = clock ? "time of day" : "time (s) from the start";
    if (clock && !facts.date.empty()) {
        title += ", " + facts.date;
    }
    canvas.text(kPlotLeft, y + 36, title, 2, kInk);
    if (seconds <= 0) {
        return;
    }
    static constexpr double kSteps[] = {
        0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1,  0.2,  0.5,  1,     2,     5,     10,   15,
        30,    60,    120,   300,  600,  900,  1800, 3600, 7200, 10800, 21600, 43200, 86400};
    // A clock reads whole seconds.
    double step = tickStep(seconds, kSteps, std::size(kSteps), 8);
    if (clock) {
        step = std::max(step, 1.0);
    }
    for (double tick = std::ceil(start / step) * step; tick <= start + seconds; tick += step) {
        const int x = kPlotLeft +
                      static_cast<int>(std::lround((tick - start) / seconds * (kLookColumns - 1)));
        canvas.fill(x, y, x + 1, y + 7, kInk);
        const std::string label = clock ? clockText(tick) : numberText(tick);
        const int width = 2 * textWidth(label);
        canvas.text(std::min(x - width / 2, kPlotLeft + kLookColumns - width), y + 10, label, 2,
                    kInk);
    }
}

}  // namespace

LookCanvas drawLook(const LookOverview& overview, const LookPictureFacts& facts) {
    LookCanvas canvas(kLookWidth, kLookHeight, kPaper);
    canvas.text(kPlotLeft, kTitleTop, latinLabel(facts.fileName), 2, kInk);
    for (int channel = 0; channel < 2; ++channel) {
        const int top = kChannelTop + channel * kChannelPitch;
        canvas.text(kPlotLeft, top, facts.channelTitles[static_cast<std::size_t>(channel)], 2,
                    kInk);
        drawWave(canvas, overview, channel, top + kWaveTop);
        drawSpectrogram(canvas, overview, channel, top + kSpectrumTop, facts.sampleRate);
    }
    drawTimeAxis(canvas, facts);
    return canvas;
}

}  // namespace kelvra::cli
