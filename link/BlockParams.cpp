#include "link/BlockParams.h"

namespace kelvra {

BlockParams BlockParams::fromBytes(const std::uint8_t* bytes) {
    BlockParams params;
    params.serialYear = bytes[0];
    params.serialNumber = static_cast<std::uint16_t>(bytes[1] | (bytes[2] << 8));
    params.firmware = bytes[3];
    params.flags = bytes[4];
    params.unused[0] = bytes[5];
    params.unused[1] = bytes[6];
    return params;
}

void BlockParams::toBytes(std::uint8_t* bytes) const {
    bytes[0] = serialYear;
    bytes[1] = static_cast<std::uint8_t>(serialNumber & 0xFF);
    bytes[2] = static_cast<std::uint8_t>(serialNumber >> 8);
    bytes[3] = firmware;
    bytes[4] = flags;
    bytes[5] = unused[0];
    bytes[6] = unused[1];
}

}  // namespace kelvra
