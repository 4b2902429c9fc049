#include "link/BlockPort.h"

#include "link/BlockLink.h"

namespace kelvra {

void applyCapabilities(CBlockPort& slot, int firmware) {
    const int major = firmware / 10;
    const int minor = firmware % 10;
    // Both flags come from this block's own firmware: a slot never keeps the read modes of a
    // block that sat in it before, which would ask this one for requests it does not serve.
    slot.addressedReads = (major == 1 && minor >= 3) || (major == 2 && minor >= 2) ||
                          (major == 3 && minor >= 1) || (major >= 4 && major <= 6);
    slot.batchReads = major >= 4 && major <= 6;
}

void closeBlock(CBlockPort& slot) {
    if (slot.present) {
        closePort(slot.handle);
    }
    slot.present = false;
    slot.portIndex = kNoPort;
}

}  // namespace kelvra
