#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvra::cli {

// Writes an RGB picture, rows from the top, 3 bytes a pixel, as a PNG file at `path` (UTF-8).
// Empty when it was written, otherwise why not.
std::string writePng(const std::string& path, int width, int height,
                     const std::vector<std::uint8_t>& rgb);

}  // namespace kelvra::cli
