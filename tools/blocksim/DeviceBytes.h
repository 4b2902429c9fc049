#pragma once

#include <cstddef>
#include <cstdint>

// The link's byte values as a block reads and writes them. The simulated block keeps its own
// definitions rather than the station's, so that an end-to-end run sets two readings of the
// link against each other instead of one header against itself.
namespace kelvra::blocksim {

// Requests from the tool: the first byte of each tells the block what follows.
inline constexpr std::uint8_t CmdHello = 0x00;
inline constexpr std::uint8_t CmdDirectory = 0x01;
inline constexpr std::uint8_t CmdStreamStart = 0x02;
inline constexpr std::uint8_t CmdDelete = 0x03;
inline constexpr std::uint8_t CmdClearMemory = 0x04;
inline constexpr std::uint8_t CmdSetClock = 0x05;
inline constexpr std::uint8_t CmdConfig = 0x06;
inline constexpr std::uint8_t CmdReadSector = 0x08;
inline constexpr std::uint8_t CmdSectorRequest = 0x12;
inline constexpr std::uint8_t CmdBatchRequest = 0x13;
// The tool's answer to each data block of a basic stream.
inline constexpr std::uint8_t StreamContinue = 0xAA;

// Bytes the block sends.
inline constexpr std::uint8_t ReplyHello = 0x55;
inline constexpr std::uint8_t ReplyAck = 0x0E;
// Stands in place of a directory entry's lead byte and ends the listing.
inline constexpr std::uint8_t DirEnd = 0xFF;

inline constexpr std::size_t kSectorSize = 512;
inline constexpr std::size_t kDirEntrySize = 32;
// A listing holds at most this many entries; after the last of them 0E follows without DirEnd.
inline constexpr std::size_t kMaxDirEntries = 41;
// The largest sector count a batch request may carry.
inline constexpr std::uint8_t kMaxBatchSectors = 20;

}  // namespace kelvra::blocksim
