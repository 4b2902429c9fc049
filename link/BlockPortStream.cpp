// CBlockPort's read stream: one record's sectors in basic stream, addressed or batch mode.
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

bool CBlockPort::startRecord(std::uint8_t address, std::uint8_t record, std::uint32_t firstSector) {
    entryAddress = address;
    recordIndex = record;
    if (inRecord && !addressedReads) {
        if (!handle || !writeStreamStart(*handle, entryAddress, recordIndex)) {
            return false;
        }
    }
    sectorIndex = firstSector;
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

bool CBlockPort::dropRequested() {
    // readSector asks for more only while the record has bytes left.
    if (!inRecord || !addressedReads || bytesLeft == 0) {
        batchLeft = 0;
        return true;
    }
    if (!handle) {
        return false;
    }
    const std::int32_t pending = batchReads ? batchLeft : 1;
    std::uint8_t dropped[kSectorSize];
    for (std::int32_t k = 0; k < pending; ++k) {
        if (!readWhole(*handle, dropped, sizeof dropped)) {
            return false;
        }
    }
    batchLeft = 0;
    return pending == 0 || (readAck(*handle) && handle->available() == 0);
}

bool CBlockPort::nextSectorSettles() const {
    return !inRecord || !addressedReads || !batchReads || batchLeft == 1;
}

bool CBlockPort::readSector(std::uint8_t* buffer) {
    const std::uint32_t wanted =
        (bytesLeft >= kSectorSize || addressedReads) ? kSectorSize : bytesLeft;
    if (inRecord) {
        if (!handle || !readWhole(*handle, buffer, wanted)) {
            return false;
        }
        const bool acknowledged =
            addressedReads ? (!batchReads || batchLeft == 1) : wanted == bytesLeft;
        if (!addressedReads) {
            const std::uint8_t next = StreamContinue;
            writeBytes(*handle, &next, 1);
        }
        // A byte added on the line pushes the real 0x0E behind the one read here, and a data
        // byte of 0x0E would pass for it: after an acknowledgement the block is silent until
        // asked again, so anything still waiting means the sectors it closes are misaligned.
        if (acknowledged && (!readAck(*handle) || handle->available() != 0)) {
            return false;
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

bool CBlockPort::silentAfterRecord() const {
    return !inRecord || !handle || handle->availableWithin(kAdapterPacketMs) == 0;
}

std::uint64_t CBlockPort::lineErrors() const {
    return inRecord && handle ? handle->lineErrors() : 0;
}

}  // namespace kelvra
