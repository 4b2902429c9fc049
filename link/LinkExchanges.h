#pragma once

#include <array>
#include <cstdint>

#include "link/BlockLink.h"
#include "link/ConfigFrame.h"
#include "link/LinkBytes.h"
#include "platform/clock/Clock.h"

namespace kelvra {

// --- Directory listing (CmdDirectory) -------------------------------------------------------

enum class DirectoryFailure {
    None,
    NotWritten,  // 01 was not written
    ShortEntry,  // fewer than 31 bytes followed a lead byte
    NoAck,       // the closing byte was missing or not 0x0E
};

struct DirectoryListing {
    DirectoryFailure failure = DirectoryFailure::None;
    int entryCount = 0;  // entries read before the end or the failure
    std::array<std::array<std::uint8_t, kDirEntrySize>, kMaxDirEntries> entries{};
};

// Reads a block's whole directory: at most 41 entries, ended early by DirEnd, then 0x0E.
DirectoryListing readDirectory(SerialPort& port);

// --- Clock (CmdSetClock) --------------------------------------------------------------------

// Sends 05 and second, minute, hour, day, month, year mod 100 as BCD, each in its own write,
// then waits for the reply byte; true only if that byte is 0x0E.
bool setClock(SerialPort& port, const platform::LocalTime& time);

// --- Clearing (CmdClearMemory) --------------------------------------------------------------

// Writes 04; true if it went out. Both blocks are sent this before either answer is awaited.
bool sendClearMemory(SerialPort& port);
// Waits for the answer to 04; true only if the first byte that arrives is 0x0E.
bool awaitClearMemoryAck(SerialPort& port);

// --- Deleting (CmdDelete) -------------------------------------------------------------------

// Writes 03 and the entry address in two writes and consumes one reply byte, if any.
void deleteEntry(SerialPort& port, std::uint8_t entryAddress);

// --- Configuration frames (CmdConfig) -------------------------------------------------------

// Writes the 17 bytes in one write and consumes the answer byte, if one comes within the wait.
void sendConfigFrame(SerialPort& port, const ConfigFrame& frame);

// --- Sector reads (CmdReadSector) -----------------------------------------------------------

// Writes 08 and the 32-bit sector address, reads 512 bytes into `sector` and one more byte.
// Nothing is examined; returns how many of the 512 bytes arrived.
std::size_t readMemorySector(SerialPort& port, std::uint32_t sectorAddress, std::uint8_t* sector);

// --- Stream requests ------------------------------------------------------------------------

// Basic stream mode start: 02, entry address, record index in three 1-byte writes; a byte
// goes out only if the one before it did. True when the record index was written.
bool writeStreamStart(SerialPort& port, std::uint8_t entryAddress, std::uint8_t recordIndex);

// 12 a r i(lo) i(hi) in one write; true when all 5 bytes went out.
bool writeSectorRequest(SerialPort& port, std::uint8_t entryAddress, std::uint8_t recordIndex,
                        std::uint32_t sectorIndex);

// 13 a r i(lo) i(hi) in one write, then the count in a second write; true when both went out.
bool writeBatchRequest(SerialPort& port, std::uint8_t entryAddress, std::uint8_t recordIndex,
                       std::uint32_t sectorIndex, std::uint8_t count);

// Sectors in the next batch: 20 when 10240 or more bytes are still wanted, else the bytes
// still wanted rounded up to whole sectors.
std::uint32_t batchSectorCount(std::uint32_t bytesLeft);

// Reads exactly one byte and checks it is 0x0E.
bool readAck(SerialPort& port);

}  // namespace kelvra
