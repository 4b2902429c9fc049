#include "resources/AppIcon.h"

#include <cmath>
#include <numbers>

namespace kelvra {

namespace {

constexpr std::uint32_t kFrame = 0x1B3A5C;
constexpr std::uint32_t kPanel = 0x0E1A26;
constexpr std::uint32_t kTraceA = 0xF2A03D;
constexpr std::uint32_t kTraceB = 0x6FD39B;
constexpr std::uint32_t kGrid = 0x24384C;

void put(std::vector<std::uint32_t>& pixels, int size, int x, int y, std::uint32_t colour) {
    if (x >= 0 && y >= 0 && x < size && y < size) {
        pixels[static_cast<std::size_t>(y * size + x)] = colour;
    }
}

// One channel's trace: a decaying wave around `middle`, drawn as a connected line.
void drawTrace(std::vector<std::uint32_t>& pixels, int size, int left, int right, double middle,
               double amplitude, double cycles, std::uint32_t colour) {
    int previous = -1;
    for (int x = left; x < right; ++x) {
        double t = static_cast<double>(x - left) / static_cast<double>(right - left);
        double envelope = 0.35 + 0.65 * std::sin(std::numbers::pi * t);
        double value = middle - amplitude * envelope * std::sin(2 * std::numbers::pi * cycles * t);
        int y = static_cast<int>(std::lround(value));
        int from = previous < 0 ? y : std::min(previous, y);
        int to = previous < 0 ? y : std::max(previous, y);
        for (int row = from; row <= to; ++row) {
            put(pixels, size, x, row, colour);
        }
        previous = y;
    }
}

void appendLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::uint32_t imageBytes(int size) {
    auto xorRow = static_cast<std::uint32_t>((size * 3 + 3) / 4 * 4);
    auto andRow = static_cast<std::uint32_t>((size + 31) / 32 * 4);
    return 40 + (xorRow + andRow) * static_cast<std::uint32_t>(size);
}

void appendImage(std::vector<std::uint8_t>& out, int size) {
    std::vector<std::uint32_t> pixels = appIconPixels(size);
    appendLe(out, 40, 4);                                    // header size
    appendLe(out, static_cast<std::uint32_t>(size), 4);      // width
    appendLe(out, static_cast<std::uint32_t>(size * 2), 4);  // height: image and mask
    appendLe(out, 1, 2);                                     // planes
    appendLe(out, 24, 2);                                    // bits per pixel
    appendLe(out, 0, 4);                                     // no compression
    appendLe(out, imageBytes(size) - 40, 4);                 // image size
    appendLe(out, 0, 4);
    appendLe(out, 0, 4);
    appendLe(out, 0, 4);
    appendLe(out, 0, 4);
    int xorPad = (4 - size * 3 % 4) % 4;
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            std::uint32_t colour = pixels[static_cast<std::size_t>(y * size + x)];
            out.push_back(static_cast<std::uint8_t>(colour));        // blue
            out.push_back(static_cast<std::uint8_t>(colour >> 8));   // green
            out.push_back(static_cast<std::uint8_t>(colour >> 16));  // red
        }
        out.insert(out.end(), static_cast<std::size_t>(xorPad), 0);
    }
    // The AND mask: all zero, every pixel opaque.
    out.insert(out.end(), static_cast<std::size_t>((size + 31) / 32 * 4 * size), 0);
}

}  // namespace

std::vector<std::uint32_t> appIconPixels(int size) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size * size), kFrame);
    int border = size >= 32 ? 3 : 1;
    for (int y = border; y < size - border; ++y) {
        for (int x = border; x < size - border; ++x) {
            put(pixels, size, x, y, kPanel);
        }
    }
    // Rounded-off corners.
    put(pixels, size, 0, 0, kPanel);
    put(pixels, size, size - 1, 0, kPanel);
    put(pixels, size, 0, size - 1, kPanel);
    put(pixels, size, size - 1, size - 1, kPanel);
    int middle = size / 2;
    for (int x = border; x < size - border; ++x) {
        put(pixels, size, x, middle, kGrid);
    }
    double quarter = static_cast<double>(size) / 4.0;
    double amplitude = quarter - border - (size >= 32 ? 1.0 : 0.5);
    double cycles = size >= 32 ? 2.5 : 1.5;
    drawTrace(pixels, size, border + 1, size - border - 1, quarter + 0.5, amplitude, cycles,
              kTraceA);
    drawTrace(pixels, size, border + 1, size - border - 1, 3 * quarter - 0.5, amplitude, cycles + 1,
              kTraceB);
    return pixels;
}

std::vector<std::uint8_t> appIconFile() {
    const int sizes[] = {32, 16};
    std::vector<std::uint8_t> out;
    appendLe(out, 0, 2);  // reserved
    appendLe(out, 1, 2);  // icon
    appendLe(out, 2, 2);  // image count
    std::uint32_t offset = 6 + 16 * 2;
    for (int size : sizes) {
        out.push_back(static_cast<std::uint8_t>(size));
        out.push_back(static_cast<std::uint8_t>(size));
        out.push_back(0);  // no palette
        out.push_back(0);
        appendLe(out, 1, 2);   // planes
        appendLe(out, 24, 2);  // bits per pixel
        appendLe(out, imageBytes(size), 4);
        appendLe(out, offset, 4);
        offset += imageBytes(size);
    }
    for (int size : sizes) {
        appendImage(out, size);
    }
    return out;
}

}  // namespace kelvra
