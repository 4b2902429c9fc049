#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include <filesystem>
#include <fstream>

#include "cli/graphics/PngFile.h"

namespace kelvra::cli {

namespace {

void append(void* context, void* data, int size) {
    auto* out = static_cast<std::ofstream*>(context);
    out->write(static_cast<const char*>(data), size);
}

}  // namespace

std::string writePng(const std::string& path, int width, int height,
                     const std::vector<std::uint8_t>& rgb) {
    if (width <= 0 || height <= 0 ||
        rgb.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3) {
        return "the picture's size and its pixels disagree";
    }
    std::ofstream out(std::filesystem::path(std::u8string(path.begin(), path.end())),
                      std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        return "cannot be created";
    }
    if (stbi_write_png_to_func(&append, &out, width, height, 3, rgb.data(), width * 3) == 0) {
        return "the PNG encoder failed";
    }
    out.flush();
    if (!out.good()) {
        return "a write failed";
    }
    return {};
}

}  // namespace kelvra::cli
