#pragma once

#include <string>
#include <vector>

namespace kelvra::cli {

// A rectangle of a label's strokes, in pixels from the label's top left corner.
struct TextStroke {
    float x0, y0, x1, y1;
};

// The strokes that draw `text` in a small built-in font, about 6 pixels a character and 12 a
// line. Printable ASCII only: any other byte is drawn as '?'.
std::vector<TextStroke> textStrokes(const std::string& text);
int textWidth(const std::string& text);

}  // namespace kelvra::cli
