#include "download/Recovery.h"

#include <utility>

#include "download/DownloadQueue.h"

namespace kelvra {

namespace {

bool matches(const CBlockPort& block, std::int32_t serialNumber, std::int32_t serialYear) {
    return block.serialYear == serialYear && block.serialNumber == serialNumber;
}

// The blocks sit as saved (or, with `exchanged`, each in the other's slot): every slot is
// occupied exactly when its saved counterpart was, and a block that is here is the one that
// was there. Occupancy and identity are judged in the same orientation, and an empty saved
// slot matches nothing: its serial number is only that of whichever block last sat in it.
bool sameBlocks(const CBlockPort& a, const CBlockPort& b, const SavedIdentity& saved,
                bool exchanged) {
    const bool presentA = exchanged ? saved.presentB : saved.presentA;
    const bool presentB = exchanged ? saved.presentA : saved.presentB;
    const std::int32_t numberA = exchanged ? saved.serialNumberB : saved.serialNumberA;
    const std::int32_t numberB = exchanged ? saved.serialNumberA : saved.serialNumberB;
    const std::int32_t yearA = exchanged ? saved.serialYearB : saved.serialYearA;
    const std::int32_t yearB = exchanged ? saved.serialYearA : saved.serialYearB;
    return a.present == presentA && b.present == presentB &&
           (!a.present || matches(a, numberA, yearA)) && (!b.present || matches(b, numberB, yearB));
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

RecoveryStep recoveryTick(CBlockPort& slotA, CBlockPort& slotB, DownloadJob& job,
                          bool blocksAwayWithoutLimit) {
    if (job.retryCount >= kRecoveryTries) {
        return RecoveryStep::GiveUp;
    }
    const SavedIdentity& saved = job.savedIdentity;
    const bool asSaved = sameBlocks(slotA, slotB, saved, false);
    const bool exchanged = !asSaved && sameBlocks(slotA, slotB, saved, true);
    if (!asSaved && !exchanged) {
        if (!blocksAwayWithoutLimit) {
            ++job.retryCount;
        }
        return RecoveryStep::Wait;
    }
    if (exchanged) {
        followExchangedBlocks(slotA, slotB, job);
    }
    const bool restart =
        (slotA.present && !slotA.addressedReads) || (slotB.present && !slotB.addressedReads);
    if (restart) {
        slotA.bytesLeft = 0;
        slotB.bytesLeft = 0;
        job.jobBytesLeft = bytesOwed(job, job.queuePos);
        job.outputFile.close();
    }
    return RecoveryStep::StartWorker;
}

}  // namespace kelvra
