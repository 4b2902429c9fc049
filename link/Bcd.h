#pragma once

#include <cstdint>

// Two decimal digits in one byte, as the blocks keep dates and times.
namespace kelvra {

// The last two decimal digits of `value` (negative values wrap as the year field does).
constexpr std::uint8_t toBcd(int value) {
    const int twoDigits = ((value % 100) + 100) % 100;
    return static_cast<std::uint8_t>(((twoDigits / 10) << 4) | (twoDigits % 10));
}

// Unchecked: nibbles above 9 count as their value, so 0xFF reads as 165.
constexpr int fromBcd(std::uint8_t bcd) {
    return (bcd >> 4) * 10 + (bcd & 0x0F);
}

}  // namespace kelvra
