#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvra {

// The 7 bytes a block sends after ReplyHello: who it is, which firmware, which role.
struct BlockParams {
    static constexpr std::size_t kSize = 7;

    std::uint8_t serialYear = 0;     // year of the serial number minus 2000
    std::uint16_t serialNumber = 0;  // little-endian on the wire
    std::uint8_t firmware = 0;       // major * 10 + minor
    std::uint8_t flags = 0;
    std::uint8_t unused[2] = {0, 0};

    static constexpr std::uint8_t kRoleA = 0x02;
    static constexpr std::uint8_t kService = 0x80;

    bool roleA() const { return (flags & kRoleA) != 0; }
    bool serviceFlag() const { return (flags & kService) != 0; }

    static BlockParams fromBytes(const std::uint8_t* bytes);
    void toBytes(std::uint8_t* bytes) const;
};

}  // namespace kelvra
