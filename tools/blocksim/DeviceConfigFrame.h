#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kelvra::blocksim {

// `ConfigFrame` as a block reads it: CmdConfig, a one-byte argument, two 16-bit little-endian
// arguments at bytes 2 and 4, the sub-command at byte 6, a third 16-bit argument at byte 7,
// and eight bytes that carry nothing.
inline constexpr std::size_t kConfigFrameSize = 17;
using ConfigFrameBytes = std::array<std::uint8_t, kConfigFrameSize>;

// What a frame with sub-command 0xFF sets in the block's serial number. The frame sends 0xFF or
// 0xFFFF in a field its button does not supply, and the block keeps what it had there.
struct IdentityChange {
    std::optional<std::uint8_t> serialYear;     // byte 1
    std::optional<std::uint16_t> serialNumber;  // bytes 2-3
};

// None when the frame carries another sub-command.
std::optional<IdentityChange> identityChange(const ConfigFrameBytes& frame);

}  // namespace kelvra::blocksim
