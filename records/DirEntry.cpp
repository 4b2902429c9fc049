#include "records/DirEntry.h"

namespace kelvra {

namespace {

std::uint16_t littleEndian16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

}  // namespace

DirEntry DirEntry::fromBytes(const std::uint8_t* bytes) {
    DirEntry entry;
    entry.lead = bytes[0];
    entry.recordCount = bytes[1];
    for (int i = 0; i < 4; ++i) {
        entry.entryInfo[i] = bytes[2 + i];
        entry.setting1[i] = bytes[16 + i];
        entry.setting2[i] = bytes[20 + i];
    }
    entry.address = bytes[6];
    entry.second = bytes[8];
    entry.minute = bytes[9];
    entry.hour = bytes[10];
    entry.day = bytes[11];
    entry.month = bytes[12];
    entry.year = bytes[13];
    entry.flags = bytes[14];
    entry.sampleRate = littleEndian16(bytes + 24);
    entry.duration = littleEndian16(bytes + 26);
    return entry;
}

}  // namespace kelvra
