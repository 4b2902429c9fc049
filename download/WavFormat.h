#pragma once

#include <cstdint>
#include <string>

#include "records/RecordInfo.h"

namespace kelvra {

inline constexpr std::size_t kWavHeaderSize = 76;
inline constexpr std::size_t kBlockDescriptionSize = 8;
// The most a channel can hold: the RIFF size, twice the channel plus 68, is a 32-bit field.
inline constexpr std::uint64_t kMaxWavChannelBytes = (0xFFFFFFFFull - 68) / 2;

// The 8 bytes that name a block in the format chunk's extension.
struct BlockDescription {
    std::uint8_t bytes[kBlockDescriptionSize] = {};
};

BlockDescription describeBlock(std::uint8_t setting2, std::uint8_t setting1, int serialYear,
                               int firmware, int serialNumber);

// The 76-byte header of a stereo 16-bit file whose channels hold `channelBytes` each.
void buildWavHeader(std::uint8_t* header, std::uint32_t channelBytes, std::uint32_t sampleRate,
                    const BlockDescription& left, const BlockDescription& right);

// Month names in the genitive case; index 0 stands for a month out of range.
extern const char* const monthNames[13];

// "5 Марта 18г 14-07-09 Запись 2.wav"; a month out of range is named "Error".
std::string wavFileName(const RecordInfo& row);

// Interleaves the first `channelBytes` bytes of two sector buffers into 4-byte stereo frames.
void interleaveFrames(const std::uint8_t* left, const std::uint8_t* right,
                      std::uint32_t channelBytes, std::uint8_t* frames);

}  // namespace kelvra
