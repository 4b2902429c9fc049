#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "tools/blocksim/BlockSetup.h"

namespace kelvra::blocksim {

// The seven parameter bytes a block sends between ReplyHello and ReplyAck: serial year, serial
// number (little-endian), firmware, flags, and two bytes the tool does not use.
inline constexpr std::size_t kBlockParamsSize = 7;

// Bits of the flags byte. A directory entry's flags byte carries the role bit in the same place,
// for the role under which the entry was made.
inline constexpr std::uint8_t kFlagRoleA = 0x02;
inline constexpr std::uint8_t kFlagService = 0x80;

using BlockParamBytes = std::array<std::uint8_t, kBlockParamsSize>;

BlockParamBytes encodeBlockParams(const BlockSetup& block);

}  // namespace kelvra::blocksim
