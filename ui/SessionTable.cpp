#include "ui/SessionTable.h"

#include <cstdio>

#include "link/Bcd.h"

namespace kelvra {

std::string sessionLine(int index, const std::uint8_t* header) {
    char line[96];
    const unsigned number = static_cast<unsigned>(header[28] | (header[29] << 8));
    std::snprintf(line, sizeof line, "%02d %c\tR%1d\t%02d/%02d/20%02d %02d:%02d:%02d\t%03u", index,
                  header[0] == 0xFF ? 'D' : ' ', header[1], fromBcd(header[11]),
                  fromBcd(header[12]), fromBcd(header[13]), fromBcd(header[10]), fromBcd(header[9]),
                  fromBcd(header[8]), number);
    return line;
}

}  // namespace kelvra
