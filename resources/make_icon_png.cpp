// Writes the application icon as a PNG of one size, from the same drawing as the Windows
// icon: kelvra-make-icon-png <size> <output.png>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "resources/AppIcon.h"

int main(int argc, char** argv) {
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 16 || size > 512) {
        std::fprintf(stderr, "usage: %s <size 16..512> <output.png>\n", argv[0]);
        return 2;
    }
    const std::vector<std::uint32_t> pixels = kelvra::appIconPixels(size);
    QImage image(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            image.setPixel(x, y, 0xFF000000u | pixels[static_cast<std::size_t>(y * size + x)]);
        }
    }
    return image.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
