#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvra {

// Command codes sent to a block; no other codes go on the link.
enum LinkCommand : std::uint8_t {
    CmdHello = 0x00,
    CmdDirectory = 0x01,
    CmdStreamStart = 0x02,
    CmdDelete = 0x03,
    CmdClearMemory = 0x04,
    CmdSetClock = 0x05,
    CmdConfig = 0x06,
    CmdReadSector = 0x08,
    CmdSectorRequest = 0x12,
    CmdBatchRequest = 0x13,
    StreamContinue = 0xAA,
};

// Fixed bytes that come from a block.
inline constexpr std::uint8_t ReplyHello = 0x55;
inline constexpr std::uint8_t ReplyAck = 0x0E;
inline constexpr std::uint8_t DirEnd = 0xFF;

inline constexpr std::size_t kSectorSize = 512;
inline constexpr std::size_t kDirEntrySize = 32;
inline constexpr int kMaxDirEntries = 41;
inline constexpr int kMaxBatchSectors = 20;

}  // namespace kelvra
