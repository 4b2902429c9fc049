#include "cli/LookCanvas.h"

#include <algorithm>
#include <cmath>

#include "cli/graphics/TextShapes.h"

namespace kelvra::cli {

LookCanvas::LookCanvas(int width, int height, Rgb background)
    : width_(width),
      height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
    fill(0, 0, width, height, background);
}

void LookCanvas::fill(int x0, int y0, int x1, int y1, Rgb colour) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width_);
    y1 = std::min(y1, height_);
    for (int y = y0; y < y1; ++y) {
        std::uint8_t* row =
            pixels_.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
                              static_cast<std::size_t>(x0)) *
                                 3;
        for (int x = x0; x < x1; ++x, row += 3) {
            row[0] = colour.r;
            row[1] = colour.g;
            row[2] = colour.b;
        }
    }
}

void LookCanvas::text(int x, int y, const std::string& text, int scale, Rgb colour) {
    for (const TextStroke& stroke : textStrokes(text)) {
        fill(x + static_cast<int>(std::lround(stroke.x0 * static_cast<float>(scale))),
             y + static_cast<int>(std::lround(stroke.y0 * static_cast<float>(scale))),
             x + static_cast<int>(std::lround(stroke.x1 * static_cast<float>(scale))),
             y + static_cast<int>(std::lround(stroke.y1 * static_cast<float>(scale))), colour);
    }
}

}  // namespace kelvra::cli
