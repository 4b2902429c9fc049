#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvra::cli {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// An RGB picture in memory, drawn by rectangles; whatever falls outside it is clipped.
class LookCanvas {
public:
    LookCanvas(int width, int height, Rgb background);

    // The pixels from (x0, y0) up to, not including, (x1, y1).
    void fill(int x0, int y0, int x1, int y1, Rgb colour);
    void put(int x, int y, Rgb colour) { fill(x, y, x + 1, y + 1, colour); }
    // `text` (printable ASCII) with its top left corner at (x, y), each font pixel `scale` wide.
    void text(int x, int y, const std::string& text, int scale, Rgb colour);

    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<std::uint8_t>& pixels() const { return pixels_; }

private:
    int width_;
    int height_;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace kelvra::cli
