#include "download/WavReader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace kelvra {

namespace {

constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFF;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kDs64BodySize = 28;
constexpr std::size_t kPcmFormatSize = 16;
// Where the two blocks' descriptions sit in the format chunk's body, after the 2-byte size of
// its extension.
constexpr std::size_t kLeftDescriptionAt = 18;
constexpr std::size_t kRightDescriptionAt = kLeftDescriptionAt + kBlockDescriptionSize;

std::uint32_t get16(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0] | (at[1] << 8));
}

std::uint32_t get32(const std::uint8_t* at) {
    return get16(at) | (get16(at + 2) << 16);
}

std::uint64_t get64(const std::uint8_t* at) {
    return get32(at) | (std::uint64_t{get32(at + 4)} << 32);
}

bool tagIs(const std::uint8_t* at, const char* tag) {
    return std::memcmp(at, tag, 4) == 0;
}

std::string tagText(const std::uint8_t* at) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        text += (at[i] >= 0x20 && at[i] < 0x7F) ? static_cast<char>(at[i]) : '?';
    }
    return text;
}

WavOpening refused(std::string why) {
    return {std::nullopt, std::move(why)};
}

std::optional<BlockDescription> descriptionAt(const std::uint8_t* at) {
    BlockDescription description;
    std::memcpy(description.bytes, at, kBlockDescriptionSize);
    const bool empty = std::all_of(description.bytes, description.bytes + kBlockDescriptionSize,
                                   [](std::uint8_t byte) { return byte == 0; });
    if (empty) {
        return std::nullopt;
    }
    return description;
}

// The format chunk's body: 16-bit stereo PCM only, which is all Kelvra writes.
std::optional<std::string> readFormat(const std::uint8_t* body, std::uint64_t size,
                                      WavLayout& layout) {
    if (size < kPcmFormatSize) {
        return "its format chunk is too short (" + std::to_string(size) + " bytes)";
    }
    const std::uint32_t format = get16(body);
    const std::uint32_t channels = get16(body + 2);
    const std::uint32_t bits = get16(body + 14);
    if (format != 1 || channels != 2 || bits != 16 || get16(body + 12) != 4) {
        return "not 16-bit stereo PCM (format " + std::to_string(format) + ", " +
               std::to_string(channels) + " channels, " + std::to_string(bits) + " bits)";
    }
    layout.sampleRate = get32(body + 4);
    if (layout.sampleRate == 0) {
        return std::string("its sample rate is 0");
    }
    if (size >= kRightDescriptionAt + kBlockDescriptionSize &&
        get16(body + kPcmFormatSize) >= 2 * kBlockDescriptionSize) {
        layout.left = descriptionAt(body + kLeftDescriptionAt);
        layout.right = descriptionAt(body + kRightDescriptionAt);
    }
    return std::nullopt;
}

std::string bytesText(std::uint64_t count) {
    return std::to_string(count) + " bytes";
}

}  // namespace

WavOpening readWavLayout(ByteSource& source) {
    const std::uint64_t fileSize = source.size();
    std::vector<std::uint8_t> head(
        static_cast<std::size_t>(std::min<std::uint64_t>(fileSize, kMaxWavHeaderBytes)));
    const std::size_t got = source.read(0, head.data(), head.size());
    if (got < head.size()) {
        const std::string why = source.failure();
        return refused(why.empty() ? "cut short: it ended while it was read"
                                   : "cannot be read: " + why);
    }
    if (got < 12) {
        return refused("not a WAV file (" + bytesText(got) + ", too short for a header)");
    }
    const std::uint8_t* bytes = head.data();
    WavLayout layout;
    layout.rf64 = tagIs(bytes, "RF64");
    if (!layout.rf64 && !tagIs(bytes, "RIFF")) {
        return refused("not a WAV file (it starts with \"" + tagText(bytes) +
                       "\", not RIFF or RF64)");
    }
    if (!tagIs(bytes + 8, "WAVE")) {
        return refused("not a WAV file (a RIFF file of type \"" + tagText(bytes + 8) + "\")");
    }
    std::uint64_t riffSize = get32(bytes + 4);
    std::optional<std::uint64_t> ds64DataSize;
    bool formatRead = false;
    std::uint64_t at = 12;
    for (;;) {
        if (at > got || got - at < kChunkHeaderSize) {
            return refused(got == fileSize ? "cut short: it ends before its samples begin"
                                           : "no samples in its first " + bytesText(got));
        }
        const std::uint8_t* chunk = bytes + static_cast<std::size_t>(at);
        const std::uint64_t bodyAt = at + kChunkHeaderSize;
        std::uint64_t size = get32(chunk + 4);
        if (tagIs(chunk, "data")) {
            if (!formatRead) {
                return refused("its samples come before any format chunk");
            }
            if (layout.rf64 && !ds64DataSize) {
                return refused("an RF64 file without a ds64 chunk before its samples");
            }
            if (layout.rf64 && size == kSizeInDs64) {
                size = *ds64DataSize;
            }
            if (size > fileSize - bodyAt) {
                return refused("cut short: the header claims " + bytesText(size) +
                               " of samples, the file holds " + bytesText(fileSize - bodyAt) +
                               " after the header");
            }
            layout.dataOffset = bodyAt;
            layout.dataBytes = size;
            break;
        }
        if (size > got - bodyAt) {
            return refused(got == fileSize
                               ? "cut short: its \"" + tagText(chunk) + "\" chunk claims " +
                                     bytesText(size) + ", more than the file holds"
                               : "no samples in its first " + bytesText(got));
        }
        const std::uint8_t* body = chunk + kChunkHeaderSize;
        if (tagIs(chunk, "ds64") && layout.rf64) {
            if (size < kDs64BodySize) {
                return refused("its ds64 chunk is too short (" + bytesText(size) + ")");
            }
            riffSize = get64(body);
            ds64DataSize = get64(body + 8);
        } else if (tagIs(chunk, "fmt ")) {
            if (const auto problem = readFormat(body, size, layout)) {
                return refused(*problem);
            }
            formatRead = true;
        }
        // Chunks are padded to an even size.
        at = bodyAt + size + (size & 1);
    }
    if (riffSize > fileSize - 8) {
        return refused("cut short: its RIFF size claims " + bytesText(riffSize) +
                       " after the first 8, the file holds " + bytesText(fileSize - 8));
    }
    return {layout, {}};
}

DescribedBlock describedBlock(const BlockDescription& description) {
    const std::uint8_t* bytes = description.bytes;
    return {bytes[0], bytes[1], bytes[2], bytes[3], static_cast<int>(get16(bytes + 4))};
}

WavFrameReader::WavFrameReader(ByteSource& source, const WavLayout& layout)
    : source_(source), at_(layout.dataOffset), end_(layout.dataOffset + layout.frames() * 4) {}

std::size_t WavFrameReader::next(std::uint8_t* into, std::size_t capacity) {
    const std::uint64_t wanted = std::min<std::uint64_t>(capacity / 4 * 4, end_ - at_);
    if (wanted == 0 || !failure_.empty()) {
        return 0;
    }
    const std::size_t count = static_cast<std::size_t>(wanted);
    const std::size_t got = source_.read(at_, into, count);
    if (got < count) {
        const std::string why = source_.failure();
        failure_ = why.empty() ? "cut short: it ended while it was read, " +
                                     bytesText(end_ - at_ - got) + " before the end it claims"
                               : "cannot be read: " + why;
        return 0;
    }
    at_ += got;
    return got;
}

}  // namespace kelvra
