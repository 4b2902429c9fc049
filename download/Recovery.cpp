#include "download/Recovery.h"

#include <utility>

namespace kelvra {

namespace {

bool matches(const CBlockPort& block, std::int32_t serialNumber, std::int32_t serialYear) {
    return block.serialYear == serialYear && block.serialNumber == serialNumber;
}

bool occupiedAsBefore(const CBlockPort& a, const CBlockPort& b, const SavedIdentity& saved) {
    return (a.present == saved.presentA && b.present == saved.presentB) ||
           (a.present == saved.presentB && b.present == saved.presentA);
}

bool sameBlocks(const CBlockPort& a, const CBlockPort& b, const SavedIdentity& saved) {
    const bool asSaved = (!a.present || matches(a, saved.serialNumberA, saved.serialYearA)) &&
                         (!b.present || matches(b, saved.serialNumberB, saved.serialYearB));
    const bool exchanged = (!a.present || matches(a, saved.serialNumberB, saved.serialYearB)) &&
                           (!b.present || matches(b, saved.serialNumberA, saved.serialYearA));
    return asSaved || exchanged;
}

void swapStreams(CBlockPort& a, CBlockPort& b) {
    std::swap(a.inRecord, b.inRecord);
    std::swap(a.bytesLeft, b.bytesLeft);
    std::swap(a.sectorIndex, b.sectorIndex);
    std::swap(a.entryAddress, b.entryAddress);
    std::swap(a.recordIndex, b.recordIndex);
    std::swap(a.batchLeft, b.batchLeft);
}

// The blocks came back in each other's slots. Every block keeps its own channel, its own
// entry addresses and its own stream: what belonged to a slot moves with its block.
void followExchangedBlocks(CBlockPort& a, CBlockPort& b, DownloadJob& job) {
    for (DownloadItem& item : job.downloadQueue) {
        item.swapped = item.swapped != 0 ? 0 : 1;
        std::swap(item.useA, item.useB);
        std::swap(item.addrA, item.addrB);
    }
    swapStreams(a, b);
    job.currentSwapped = !job.currentSwapped;
    job.slotsExchanged = !job.slotsExchanged;
}

}  // namespace

RecoveryStep recoveryTick(CBlockPort& slotA, CBlockPort& slotB, DownloadJob& job) {
    if (job.retryCount >= kRecoveryTries) {
        return RecoveryStep::GiveUp;
    }
    const SavedIdentity& saved = job.savedIdentity;
    if (!occupiedAsBefore(slotA, slotB, saved) || !sameBlocks(slotA, slotB, saved)) {
        ++job.retryCount;
        return RecoveryStep::Wait;
    }
    // Only a block that is here can have changed slots: an empty slot keeps the identity of
    // whichever block last sat in it.
    const bool exchanged =
        (slotA.present && matches(slotA, saved.serialNumberB, saved.serialYearB)) ||
        (slotB.present && matches(slotB, saved.serialNumberA, saved.serialYearA));
    if (exchanged) {
        followExchangedBlocks(slotA, slotB, job);
    }
    const bool restart =
        (slotA.present && !slotA.addressedReads) || (slotB.present && !slotB.addressedReads);
    if (restart) {
        slotA.bytesLeft = 0;
        slotB.bytesLeft = 0;
        std::uint32_t left = 0;
        for (int i = job.queuePos; i < job.queueLength; ++i) {
            left += job.downloadQueue[static_cast<std::size_t>(i)].channelBytes();
        }
        job.jobBytesLeft = left;
        job.outputFile.close();
    }
    return RecoveryStep::StartWorker;
}

}  // namespace kelvra
