#include <cstring>

#include "link/BlockLink.h"
#include "link/BlockPort.h"
#include "link/LinkBytes.h"
#include "link/LinkExchanges.h"

namespace kelvra {

namespace {

// Reads exactly `count` bytes, completing short reads; false when a read yields nothing.
bool readWhole(SerialPort& port, std::uint8_t* buffer, std::size_t count) {
    std::size_t received = 0;
    while (received < count) {
        const std::size_t got = readBytes(port, buffer + received, count - received);
        if (got == 0) {
            return false;
        }
        received += got;
    }
    return true;
}

}  // namespace

bool CBlockPort::startRecord(std::uint8_t address, std::uint8_t record) {
    entryAddress = address;
    recordIndex = record;
    if (inRecord && !addressedReads) {
        if (!handle || !writeStreamStart(*handle, entryAddress, recordIndex)) {
            return false;
        }
    }
    sectorIndex = 0;
    batchLeft = 0;
    return requestSectors();
}

bool CBlockPort::requestSectors() {
    if (!inRecord || !addressedReads) {
        return true;
    }
    if (!handle) {
        return false;
    }
    if (batchReads) {
        if (batchLeft != 0) {
            return true;
        }
        const std::uint32_t count = batchSectorCount(bytesLeft);
        batchLeft = static_cast<std::int32_t>(count);
        return writeBatchRequest(*handle, entryAddress, recordIndex, sectorIndex,
                                 static_cast<std::uint8_t>(count));
    }
    return writeSectorRequest(*handle, entryAddress, recordIndex, sectorIndex);
}

bool CBlockPort::readSector(std::uint8_t* buffer) {
    const std::uint32_t wanted =
        (bytesLeft >= kSectorSize || addressedReads) ? kSectorSize : bytesLeft;
    if (inRecord) {
        if (!handle || !readWhole(*handle, buffer, wanted)) {
            return false;
        }
        if (addressedReads) {
            if ((!batchReads || batchLeft == 1) && !readAck(*handle)) {
                return false;
            }
        } else {
            const std::uint8_t next = StreamContinue;
            writeBytes(*handle, &next, 1);
            if (wanted == bytesLeft && !readAck(*handle)) {
                return false;
            }
        }
        --batchLeft;
    } else {
        std::memset(buffer, 0, kSectorSize);
    }
    ++sectorIndex;
    bytesLeft = bytesLeft < wanted ? 0 : bytesLeft - wanted;
    if (bytesLeft != 0) {
        requestSectors();
    }
    return true;
}

}  // namespace kelvra
