#include "tools/blocksim/DeviceDirEntry.h"

#include <algorithm>

#include "tools/blocksim/DeviceBytes.h"
#include "tools/blocksim/DeviceParams.h"

namespace kelvra::blocksim {

void encodeDirEntry(const EntrySetup& entry, std::uint8_t* out) {
    // Bytes 7, 15 and 28 to 31 carry nothing; a block sends them as zeros.
    std::fill(out, out + kDirEntrySize, std::uint8_t{0});
    out[0] = entry.lead;
    out[1] = entry.recordCount;
    std::copy(entry.entryInfo.begin(), entry.entryInfo.end(), out + 2);
    out[6] = entry.address;
    std::copy(entry.time.begin(), entry.time.end(), out + 8);
    out[14] = entry.roleA ? kFlagRoleA : 0;
    std::copy(entry.setting1.begin(), entry.setting1.end(), out + 16);
    std::copy(entry.setting2.begin(), entry.setting2.end(), out + 20);
    out[24] = static_cast<std::uint8_t>(entry.sampleRate & 0xFF);
    out[25] = static_cast<std::uint8_t>(entry.sampleRate >> 8);
    out[26] = static_cast<std::uint8_t>(entry.duration & 0xFF);
    out[27] = static_cast<std::uint8_t>(entry.duration >> 8);
}

}  // namespace kelvra::blocksim
