#pragma once

#include <cstdint>
#include <memory>

#include "platform/serial/SerialPort.h"

namespace kelvra {

inline constexpr int kNoPort = 100;

// One block's serial link, identity and read-stream state. The main window holds two: slot A
// and slot B. Closing a slot and greeting a block again leave the stream fields alone, which
// is what lets an interrupted record continue.
struct CBlockPort {
    bool present = false;
    bool inRecord = false;
    std::unique_ptr<platform::SerialPort> handle;
    int portIndex = kNoPort;
    std::int32_t serialNumber = 0;
    std::int32_t serialYear = 0;
    std::int32_t firmware = 0;
    bool serviceFlag = false;
    std::uint32_t bytesLeft = 0;
    bool addressedReads = false;
    std::uint32_t sectorIndex = 0;
    std::uint8_t entryAddress = 0;
    std::uint8_t recordIndex = 0;
    bool batchReads = false;
    std::int32_t batchLeft = 0;

    // The read stream of one record, in the mode the block's capabilities select: basic
    // stream, addressed single sectors or addressed batches. A block that takes no part in
    // the record yields silent sectors with the same bookkeeping. Addressed reads may begin
    // at `firstSector` (bytesLeft then counts from there); the basic stream begins at 0.
    bool startRecord(std::uint8_t address, std::uint8_t record, std::uint32_t firstSector = 0);
    // Reads and drops the sectors already asked for and not yet read, with their
    // acknowledgement, so that the block is idle and can be asked anew. False when they did not
    // come whole.
    bool dropRequested();
    // Sends the next sector or batch request when one is due; otherwise does nothing.
    bool requestSectors();
    // Puts the next sector (or 512 zero bytes) into `buffer`. On failure the counters keep
    // their values, so the failed sector is still the next one wanted.
    bool readSector(std::uint8_t* buffer);
    // Whether the sector the next readSector yields is final once it returns: acknowledged, or
    // needing no acknowledgement of its own. In a batch only the last sector is; in basic
    // stream mode every sector counts as final, since a failure restarts the whole record.
    bool nextSectorSettles() const;
    // After a record's last acknowledgement, whether the line stays silent for a USB adapter's
    // packet time: a byte that arrives then belonged before the acknowledgement, which was then
    // a data byte. A block that takes no part is silent.
    bool silentAfterRecord() const;
    // The driver's count of errors on this block's line; 0 for a block that takes no part.
    std::uint64_t lineErrors() const;
};

// How long a byte held back by a USB adapter can arrive after the bytes before it: its latency
// timer, 16 ms unless lowered, with room for the packet's transfer.
inline constexpr unsigned kAdapterPacketMs = 20;

// Sets addressedReads and batchReads from a block's firmware version (link/FirmwareRules.h).
void applyCapabilities(CBlockPort& slot, int firmware);

// Closes the slot's port if it is present: present false, portIndex 100, nothing else changed.
void closeBlock(CBlockPort& slot);

}  // namespace kelvra
