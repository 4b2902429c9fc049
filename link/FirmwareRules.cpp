#include "link/FirmwareRules.h"

namespace kelvra {

ReadModes readModes(int firmware) {
    const int major = firmware / 10;
    const int minor = firmware % 10;
    ReadModes modes;
    modes.addressedReads = (major == 1 && minor >= 3) || (major == 2 && minor >= 2) ||
                           (major == 3 && minor >= 1) || (major >= 4 && major <= 6);
    modes.batchReads = major >= 4 && major <= 6;
    return modes;
}

bool storesRecordFormat(int firmware) {
    return firmware / 10 >= 6;
}

RecordFormat fixedRecordFormat(int firmware) {
    return {static_cast<std::uint16_t>(firmware / 10 == 5 ? 21362 : 21333), 120};
}

std::uint32_t sessionStride(int firmware) {
    const std::uint32_t seconds = firmware < 60 ? 120 : 180;
    const std::uint32_t sampleRate = firmware < 50 ? 21333 : 21362;
    const std::uint32_t sectors = (seconds * sampleRate * 2) >> 9;
    return 4 * sectors + 6;
}

}  // namespace kelvra
