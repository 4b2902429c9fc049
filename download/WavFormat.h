#pragma once

#include <cstdint>
#include <string>

#include "records/RecordInfo.h"

namespace kelvra {

// The header of a plain RIFF file, and of an RF64 one: the same with a "ds64" chunk after
// "WAVE".
inline constexpr std::size_t kWavHeaderSize = 76;
inline constexpr std::size_t kRf64HeaderSize = 112;
inline constexpr std::size_t kBlockDescriptionSize = 8;
// The most sample data a RIFF file holds: its size, the data plus 68, is a 32-bit field. A
// record with more is written as RF64, whose sizes are 64-bit.
inline constexpr std::uint64_t kMaxRiffDataBytes = 0xFFFFFFFFull - 68;
// The most a channel of a record can hold: the link counts a channel's bytes in 32 bits.
inline constexpr std::uint64_t kMaxRecordChannelBytes = 0xFFFFFFFFull;

// The 8 bytes that name a block in the format chunk's extension.
struct BlockDescription {
    std::uint8_t bytes[kBlockDescriptionSize] = {};
};

BlockDescription describeBlock(std::uint8_t setting2, std::uint8_t setting1, int serialYear,
                               int firmware, int serialNumber);

struct WavHeader {
    std::uint8_t bytes[kRf64HeaderSize] = {};
    std::size_t size = 0;
};

// The header of a stereo 16-bit file whose channels hold `channelBytes` each: RIFF while its
// sample data fit `riffDataLimit` (tests lower it to reach RF64 with little data), RF64 above.
WavHeader buildWavHeader(std::uint64_t channelBytes, std::uint32_t sampleRate,
                         const BlockDescription& left, const BlockDescription& right,
                         std::uint64_t riffDataLimit = kMaxRiffDataBytes);

// The size of that header.
std::size_t wavHeaderSize(std::uint64_t channelBytes,
                          std::uint64_t riffDataLimit = kMaxRiffDataBytes);

// The size of a header read back from a file's first four bytes.
std::size_t wavHeaderSizeOf(const std::uint8_t* tag);

// Month names in the genitive case; index 0 stands for a month out of range.
extern const char* const monthNames[13];

// "5 Марта 18г 14-07-09 Запись 2.wav"; a month out of range is named "Error".
std::string wavFileName(const RecordInfo& row);

// Interleaves the first `channelBytes` bytes of two sector buffers into 4-byte stereo frames.
void interleaveFrames(const std::uint8_t* left, const std::uint8_t* right,
                      std::uint32_t channelBytes, std::uint8_t* frames);

}  // namespace kelvra
