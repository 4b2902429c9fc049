#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "download/WavFormat.h"

namespace kelvra {

// Where a WAV file's bytes come from: a file on the disk, or memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The size the source had when it was opened.
    virtual std::uint64_t size() const = 0;
    // Up to `count` bytes from `offset`; fewer only at the end, or when the read failed (then
    // `failure` says why).
    virtual std::size_t read(std::uint64_t offset, std::uint8_t* into, std::size_t count) = 0;
    virtual std::string failure() const = 0;
};

// What the header of a 16-bit stereo file, RIFF or RF64, says and the file bears out.
struct WavLayout {
    bool rf64 = false;
    std::uint32_t sampleRate = 0;
    // The block of each channel; nothing when no block's copy is in it (all eight bytes zero).
    std::optional<BlockDescription> left;
    std::optional<BlockDescription> right;
    std::uint64_t dataOffset = 0;
    std::uint64_t dataBytes = 0;  // within the file
    std::uint64_t frames() const { return dataBytes / 4; }
};

// The header is looked for in the file's first bytes only: Kelvra's is 76 or 112 bytes, and a
// chunk an editor adds before the samples is small.
inline constexpr std::size_t kMaxWavHeaderBytes = 64 * 1024;

struct WavOpening {
    std::optional<WavLayout> layout;
    std::string failure;  // why the file is not one to read, e.g. "not a WAV file (no RIFF tag)"
};

// Reads the header and checks every size it claims against the source's size.
WavOpening readWavLayout(ByteSource& source);

// The block a description names, as its fields.
struct DescribedBlock {
    int setting2 = 0;
    int setting1 = 0;
    int serialYear = 0;  // since 2000
    int firmware = 0;
    int serialNumber = 0;
};
DescribedBlock describedBlock(const BlockDescription& description);

// The samples of a file whose layout was read, in order, whole frames at a time.
class WavFrameReader {
public:
    WavFrameReader(ByteSource& source, const WavLayout& layout);
    // Fills `into` with up to `capacity` bytes of whole frames; 0 at the end of the samples or
    // when the source failed or came short of what its size promised (then `failure`).
    std::size_t next(std::uint8_t* into, std::size_t capacity);
    const std::string& failure() const { return failure_; }

private:
    ByteSource& source_;
    std::uint64_t at_;
    std::uint64_t end_;
    std::string failure_;
};

}  // namespace kelvra
