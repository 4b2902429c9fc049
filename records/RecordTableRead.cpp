#include "records/RecordTableRead.h"

#include "link/LinkExchanges.h"
#include "link/Messages.h"
#include "records/DirEntry.h"

namespace kelvra {

namespace {

const char* failureMessage(DirectoryFailure failure) {
    switch (failure) {
        case DirectoryFailure::None:
            return nullptr;
        case DirectoryFailure::NotWritten:
            return messages::kUnableToWritePort1;
        case DirectoryFailure::ShortEntry:
            return messages::kUnableToReadPort;
        case DirectoryFailure::NoAck:
            return messages::kNoAcknowledge;
    }
    return nullptr;
}

}  // namespace

RecordTableRead readRecordTable(CBlockPort& slotA, CBlockPort& slotB) {
    RecordTableRead read;
    CBlockPort* const slots[2] = {&slotA, &slotB};
    for (int slot = 0; slot < 2; ++slot) {
        CBlockPort& block = *slots[slot];
        if (!block.present) {
            continue;
        }
        const DirectoryListing listing = readDirectory(*block.handle);
        for (int i = 0; i < listing.entryCount; ++i) {
            read.table.addEntry(
                DirEntry::fromBytes(listing.entries[static_cast<std::size_t>(i)].data()), slot,
                block.firmware);
        }
        read.failure = failureMessage(listing.failure);
        if (read.failure != nullptr) {
            return read;
        }
    }
    read.table.sortAndMerge();
    return read;
}

}  // namespace kelvra
