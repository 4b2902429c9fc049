#include "download/WavFormat.h"

#include <cstdio>
#include <cstring>

namespace kelvra {

namespace {

void put16(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value & 0xFF);
    at[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
}

void put32(std::uint8_t* at, std::uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

void put64(std::uint8_t* at, std::uint64_t value) {
    put32(at, static_cast<std::uint32_t>(value & 0xFFFFFFFF));
    put32(at + 4, static_cast<std::uint32_t>(value >> 32));
}

// The 48-byte format chunk with its 30-byte extension naming the two blocks.
void putFormatChunk(std::uint8_t* at, std::uint32_t sampleRate, const BlockDescription& left,
                    const BlockDescription& right) {
    std::memcpy(at, "fmt ", 4);
    put32(at + 4, 48);
    put16(at + 8, 1);
    put16(at + 10, 2);
    put32(at + 12, sampleRate);
    put32(at + 16, sampleRate * 4);
    put16(at + 20, 4);
    put16(at + 22, 16);
    put16(at + 24, 30);
    std::memcpy(at + 26, left.bytes, kBlockDescriptionSize);
    std::memcpy(at + 34, right.bytes, kBlockDescriptionSize);
}

constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFF;
constexpr std::uint32_t kDs64BodySize = 28;

}  // namespace

const char* const monthNames[13] = {
    "Error", "Января",  "Февраля",  "Марта",   "Апреля", "Мая",     "Июня",
    "Июля",  "Августа", "Сентября", "Октября", "Ноября", "Декабря",
};

BlockDescription describeBlock(std::uint8_t setting2, std::uint8_t setting1, int serialYear,
                               int firmware, int serialNumber) {
    BlockDescription description;
    description.bytes[0] = setting2;
    description.bytes[1] = setting1;
    description.bytes[2] = static_cast<std::uint8_t>(serialYear & 0xFF);
    description.bytes[3] = static_cast<std::uint8_t>(firmware & 0xFF);
    put16(description.bytes + 4, static_cast<std::uint32_t>(serialNumber) & 0xFFFF);
    return description;
}

WavHeader buildWavHeader(std::uint64_t channelBytes, std::uint32_t sampleRate,
                         const BlockDescription& left, const BlockDescription& right,
                         std::uint64_t riffDataLimit) {
    WavHeader header;
    header.size = wavHeaderSize(channelBytes, riffDataLimit);
    std::uint8_t* at = header.bytes;
    const std::uint64_t dataBytes = 2 * channelBytes;
    const bool rf64 = header.size == kRf64HeaderSize;
    std::memcpy(at, rf64 ? "RF64" : "RIFF", 4);
    put32(at + 4, rf64 ? kSizeInDs64 : static_cast<std::uint32_t>(header.size - 8 + dataBytes));
    std::memcpy(at + 8, "WAVE", 4);
    at += 12;
    if (rf64) {
        std::memcpy(at, "ds64", 4);
        put32(at + 4, kDs64BodySize);
        put64(at + 8, header.size - 8 + dataBytes);
        put64(at + 16, dataBytes);
        // Frames of two 16-bit samples; the table of other chunks' sizes stays empty.
        put64(at + 24, dataBytes / 4);
        put32(at + 32, 0);
        at += 8 + kDs64BodySize;
    }
    putFormatChunk(at, sampleRate, left, right);
    at += 56;
    std::memcpy(at, "data", 4);
    put32(at + 4, rf64 ? kSizeInDs64 : static_cast<std::uint32_t>(dataBytes));
    return header;
}

std::size_t wavHeaderSize(std::uint64_t channelBytes, std::uint64_t riffDataLimit) {
    return 2 * channelBytes > riffDataLimit ? kRf64HeaderSize : kWavHeaderSize;
}

std::size_t wavHeaderSizeOf(const std::uint8_t* tag) {
    return std::memcmp(tag, "RF64", 4) == 0 ? kRf64HeaderSize : kWavHeaderSize;
}

std::string wavFileName(const RecordInfo& row) {
    char name[128];
    const int month = row.month <= 12 ? row.month : 0;
    std::snprintf(name, sizeof name, "%d %s %dг %02d-%02d-%02d Запись %d.wav", row.day,
                  monthNames[month], row.year, row.hour, row.minute, row.second, row.recordNo);
    return name;
}

void interleaveFrames(const std::uint8_t* left, const std::uint8_t* right,
                      std::uint32_t channelBytes, std::uint8_t* frames) {
    for (std::uint32_t k = 0; k + 1 < channelBytes; k += 2) {
        frames[2 * k] = left[k];
        frames[2 * k + 1] = left[k + 1];
        frames[2 * k + 2] = right[k];
        frames[2 * k + 3] = right[k + 1];
    }
}

}  // namespace kelvra
