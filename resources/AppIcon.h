#pragma once

#include <cstdint>
#include <vector>

// The application icon (resource 128), drawn by code so that every backend shows the same
// picture: resources/kelvra.ico and the package's PNG icons are written from it,
// and the Qt backend draws it at run time.
namespace kelvra {

// size x size pixels, rows top to bottom, each 0x00RRGGBB. Sizes 16 and 32 are drawn.
std::vector<std::uint32_t> appIconPixels(int size);

// The .ico file: a 32 x 32 and a 16 x 16 image, 24 bits per pixel, fully opaque.
std::vector<std::uint8_t> appIconFile();

}  // namespace kelvra
