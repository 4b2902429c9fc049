#include "link/BlockPort.h"

#include "link/BlockLink.h"
#include "link/FirmwareRules.h"

namespace kelvra {

void applyCapabilities(CBlockPort& slot, int firmware) {
    // Both flags come from this block's own firmware: a slot never keeps the read modes of a
    // block that sat in it before, which would ask this one for requests it does not serve.
    const ReadModes modes = readModes(firmware);
    slot.addressedReads = modes.addressedReads;
    slot.batchReads = modes.batchReads;
}

void closeBlock(CBlockPort& slot) {
    if (slot.present) {
        closePort(slot.handle);
    }
    slot.present = false;
    slot.portIndex = kNoPort;
}

}  // namespace kelvra
