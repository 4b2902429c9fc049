#include "link/BlockPort.h"

#include "link/BlockLink.h"

namespace kelvra {

void applyCapabilities(CBlockPort& slot, int firmware) {
    const int major = firmware / 10;
    const int minor = firmware % 10;
    switch (major) {
        case 1:
            slot.addressedReads = minor >= 3;
            break;
        case 2:
            slot.addressedReads = minor >= 2;
            break;
        case 3:
            slot.addressedReads = minor >= 1;
            break;
        case 4:
        case 5:
        case 6:
            slot.addressedReads = true;
            slot.batchReads = true;
            break;
        default:
            break;
    }
}

void closeBlock(CBlockPort& slot) {
    if (slot.present) {
        closePort(slot.handle);
    }
    slot.present = false;
    slot.portIndex = kNoPort;
}

}  // namespace kelvra
