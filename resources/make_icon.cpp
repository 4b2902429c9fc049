// Writes the application icon file from its drawing: kelvra-make-icon resources/kelvra.ico
#include <cstdio>
#include <fstream>
#include <vector>

#include "resources/AppIcon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.ico>\n", argv[0]);
        return 2;
    }
    std::vector<std::uint8_t> bytes = kelvra::appIconFile();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return out.good() ? 0 : 1;
}
