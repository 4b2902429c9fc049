#pragma once

#include <array>
#include <cstdint>

namespace kelvra {

// The 17-byte CmdConfig request. Bytes a sub-command leaves undefined are sent as zero.
struct ConfigFrame {
    static constexpr std::size_t kSize = 17;

    // Sub-commands the tool sends in byte 6.
    static constexpr std::uint8_t kPairWithB = 1;
    static constexpr std::uint8_t kPairWithA = 2;
    static constexpr std::uint8_t kBattery = 3;
    static constexpr std::uint8_t kSetA = 5;
    static constexpr std::uint8_t kSetB = 6;
    static constexpr std::uint8_t kRepairDateTime = 9;
    static constexpr std::uint8_t kUndelete = 0x14;
    static constexpr std::uint8_t kSetIdentity = 0xFF;

    std::array<std::uint8_t, kSize> bytes{};

    // A frame that carries only its sub-command.
    static ConfigFrame command(std::uint8_t subCommand);
    // "UnDelete": byte 1 is 0x25.
    static ConfigFrame undelete();
    // Sub-command 0xFF with the serial number's year (year - 2000) and number.
    static ConfigFrame serialNumber(std::uint8_t serialYear, std::uint16_t serialNumber);
    // Sub-command 0xFF with the serial number and the 16-bit value.
    static ConfigFrame value(std::uint16_t serialNumber, std::uint16_t value);

    std::uint8_t subCommand() const { return bytes[6]; }
};

}  // namespace kelvra
