#include <stb/stb_easy_font.h>

#include <vector>

#include "cli/graphics/TextShapes.h"

namespace kelvra::cli {

namespace {

// The font has glyphs for printable ASCII only and indexes its tables by the byte.
std::string printable(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c < ' ' || c > '~') {
            c = '?';
        }
    }
    return out;
}

struct Vertex {
    float x, y, z;
    unsigned char color[4];
};

}  // namespace

std::vector<TextStroke> textStrokes(const std::string& text) {
    std::string ascii = printable(text);
    // Room for 16 strokes of 4 vertices a character, more than any glyph has: the font
    // silently drops the strokes that find no room.
    std::vector<Vertex> vertices(ascii.size() * 16 * 4);
    const int quads = stb_easy_font_print(0, 0, ascii.data(), nullptr, vertices.data(),
                                          static_cast<int>(vertices.size() * sizeof(Vertex)));
    std::vector<TextStroke> strokes;
    for (std::size_t q = 0; q < static_cast<std::size_t>(quads); ++q) {
        const Vertex& first = vertices[4 * q];
        const Vertex& opposite = vertices[4 * q + 2];
        strokes.push_back({first.x, first.y, opposite.x, opposite.y});
    }
    return strokes;
}

int textWidth(const std::string& text) {
    std::string ascii = printable(text);
    return stb_easy_font_width(ascii.data());
}

}  // namespace kelvra::cli
