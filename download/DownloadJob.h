#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "link/BlockPort.h"
#include "platform/file/OutputFile.h"
#include "records/RecordInfo.h"

namespace kelvra {

inline constexpr int kQueueCapacity = 160;

// One queued record of a download job.
struct DownloadItem {
    bool useA = false;
    bool useB = false;
    std::uint8_t swapped = 0;
    std::int32_t addrA = kNoCopy;
    std::int32_t addrB = kNoCopy;
    std::int32_t recordIndex = 0;
    std::int32_t row = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t duration = 0;
    // Where the record goes: its name in the folder, unique within the job.
    std::string fileName;

    // In 64 bits: a corrupted directory entry can claim more than 32 bits can count.
    std::uint64_t channelBytes() const {
        return static_cast<std::uint64_t>(sampleRate) * duration * 2;
    }
};

// Who the blocks were when a transfer failed, so that recovery knows them again.
struct SavedIdentity {
    bool presentA = false;
    bool presentB = false;
    std::int32_t serialNumberA = 0;
    std::int32_t serialNumberB = 0;
    std::int32_t serialYearA = 0;
    std::int32_t serialYearB = 0;
};

// The download state of the main window.
struct DownloadJob {
    bool currentSwapped = false;
    bool recoveryPending = false;
    std::int32_t retryCount = 0;
    std::int32_t currentRow = 0;
    std::uint64_t jobBytesLeft = 0;
    std::uint64_t jobBytesTotal = 0;
    std::int32_t queuePos = 0;
    std::int32_t queueLength = 0;
    SavedIdentity savedIdentity;
    std::array<DownloadItem, kQueueCapacity> downloadQueue{};
    // The folder the user picked; files are created by their full path in it.
    std::string outputFolder;
    platform::OutputFile outputFile;

    // Recovery found the blocks back in each other's slots an odd number of times: a row's
    // per-block bytes of slot s now belong to the block in the other slot.
    bool slotsExchanged = false;

    // A worker is moving data; the window thread keeps off the ports and the table.
    std::atomic<bool> workerRunning{false};

    bool transferActive() const { return workerRunning.load() || recoveryPending; }
};

}  // namespace kelvra
