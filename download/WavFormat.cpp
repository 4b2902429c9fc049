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

void buildWavHeader(std::uint8_t* header, std::uint32_t channelBytes, std::uint32_t sampleRate,
                    const BlockDescription& left, const BlockDescription& right) {
    std::memset(header, 0, kWavHeaderSize);
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, 2 * channelBytes + 68);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    put32(header + 16, 48);
    put16(header + 20, 1);
    put16(header + 22, 2);
    put32(header + 24, sampleRate);
    put32(header + 28, sampleRate * 4);
    put16(header + 32, 4);
    put16(header + 34, 16);
    put16(header + 36, 30);
    std::memcpy(header + 38, left.bytes, kBlockDescriptionSize);
    std::memcpy(header + 46, right.bytes, kBlockDescriptionSize);
    std::memcpy(header + 68, "data", 4);
    put32(header + 72, 2 * channelBytes);
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
