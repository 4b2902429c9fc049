#include "link/LinkExchanges.h"

#include "link/Bcd.h"

namespace kelvra {

namespace {

bool writeOne(SerialPort& port, std::uint8_t byte) {
    return writeBytes(port, &byte, 1) == 1;
}

}  // namespace

bool readAck(SerialPort& port) {
    std::uint8_t ack = 0;
    return readBytes(port, &ack, 1) == 1 && ack == ReplyAck;
}

DirectoryListing readDirectory(SerialPort& port) {
    DirectoryListing listing;
    if (!writeOne(port, CmdDirectory)) {
        listing.failure = DirectoryFailure::NotWritten;
        return listing;
    }
    for (int i = 0; i < kMaxDirEntries; ++i) {
        auto& entry = listing.entries[static_cast<std::size_t>(i)];
        // A lead byte that does not arrive is not an end: the tail read decides.
        readBytes(port, entry.data(), 1);
        if (entry[0] == DirEnd) {
            entry[0] = 0;
            break;
        }
        if (readBytes(port, entry.data() + 1, kDirEntrySize - 1) != kDirEntrySize - 1) {
            listing.failure = DirectoryFailure::ShortEntry;
            return listing;
        }
        ++listing.entryCount;
    }
    if (!readAck(port)) {
        listing.failure = DirectoryFailure::NoAck;
    }
    return listing;
}

bool setClock(SerialPort& port, const platform::LocalTime& time) {
    writeOne(port, CmdSetClock);
    const int fields[] = {time.second, time.minute, time.hour, time.day, time.month, time.year};
    for (int field : fields) {
        writeOne(port, toBcd(field));
    }
    const auto reply = waitForByte(port);
    return reply && *reply == ReplyAck;
}

bool sendClearMemory(SerialPort& port) {
    return writeOne(port, CmdClearMemory);
}

bool awaitClearMemoryAck(SerialPort& port) {
    const auto reply = waitForByte(port);
    return reply && *reply == ReplyAck;
}

void deleteEntry(SerialPort& port, std::uint8_t entryAddress) {
    writeOne(port, CmdDelete);
    writeOne(port, entryAddress);
    std::uint8_t reply = 0;
    readBytes(port, &reply, 1);
}

void sendConfigFrame(SerialPort& port, const ConfigFrame& frame) {
    writeBytes(port, frame.bytes.data(), frame.bytes.size());
    waitForByte(port);
}

std::size_t readMemorySector(SerialPort& port, std::uint32_t sectorAddress, std::uint8_t* sector) {
    const std::uint8_t request[5] = {
        CmdReadSector,
        static_cast<std::uint8_t>(sectorAddress & 0xFF),
        static_cast<std::uint8_t>((sectorAddress >> 8) & 0xFF),
        static_cast<std::uint8_t>((sectorAddress >> 16) & 0xFF),
        static_cast<std::uint8_t>((sectorAddress >> 24) & 0xFF),
    };
    writeBytes(port, request, sizeof request);
    const std::size_t received = readBytes(port, sector, kSectorSize);
    std::uint8_t trailer = 0;
    readBytes(port, &trailer, 1);
    return received;
}

bool writeStreamStart(SerialPort& port, std::uint8_t entryAddress, std::uint8_t recordIndex) {
    const std::uint8_t bytes[3] = {CmdStreamStart, entryAddress, recordIndex};
    // Each write asks for as many bytes as the one before it wrote: once a byte has failed,
    // nothing more goes out.
    std::size_t wanted = 1;
    for (std::uint8_t byte : bytes) {
        wanted = writeBytes(port, &byte, wanted);
    }
    return wanted == 1;
}

namespace {

std::size_t writeAddressedRequest(SerialPort& port, std::uint8_t command, std::uint8_t entryAddress,
                                  std::uint8_t recordIndex, std::uint32_t sectorIndex) {
    const std::uint8_t request[5] = {
        command,
        entryAddress,
        recordIndex,
        static_cast<std::uint8_t>(sectorIndex & 0xFF),
        static_cast<std::uint8_t>((sectorIndex >> 8) & 0xFF),
    };
    return writeBytes(port, request, sizeof request);
}

}  // namespace

bool writeSectorRequest(SerialPort& port, std::uint8_t entryAddress, std::uint8_t recordIndex,
                        std::uint32_t sectorIndex) {
    return writeAddressedRequest(port, CmdSectorRequest, entryAddress, recordIndex, sectorIndex) ==
           5;
}

bool writeBatchRequest(SerialPort& port, std::uint8_t entryAddress, std::uint8_t recordIndex,
                       std::uint32_t sectorIndex, std::uint8_t count) {
    if (writeAddressedRequest(port, CmdBatchRequest, entryAddress, recordIndex, sectorIndex) != 5) {
        return false;
    }
    return writeOne(port, count);
}

std::uint32_t batchSectorCount(std::uint32_t bytesLeft) {
    constexpr std::uint32_t kBatchBytes = kMaxBatchSectors * kSectorSize;
    if (bytesLeft >= kBatchBytes) {
        return kMaxBatchSectors;
    }
    return (bytesLeft + static_cast<std::uint32_t>(kSectorSize) - 1) /
           static_cast<std::uint32_t>(kSectorSize);
}

}  // namespace kelvra
