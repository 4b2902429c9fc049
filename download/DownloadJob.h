#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "download/ChannelLevels.h"
#include "download/RecordIdentity.h"
#include "download/WavFormat.h"
#include "link/BlockPort.h"
#include "platform/file/OutputFile.h"
#include "platform/hash/Sha256.h"
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
    // Where the record goes: its name in the folder. The record table gives it, so that it is
    // the same in every job; a folder whose file of that name holds another record moves it on
    // to the next free " (n)".
    std::string fileName;
    // The n of that " (n)"; 1 for the plain name.
    int nameNumber = 1;
    // The file at that name that placement judged the record may replace; nothing when the
    // name was free. The commit replaces that very file or nothing.
    std::optional<platform::FileStamp> replaces;
    // Why the record does not go to an earlier name, when something there was kept.
    std::string placementNote;
    // The record and the copies the item reads, as the manifest notes them.
    RecordIdentity identity;
    // Transfers of this record that broke off and were mended.
    std::int32_t recoveries = 0;
    // With reads checked: the hash of each complete read so far that no other read confirmed.
    std::vector<std::string> readHashes;
    // Why the record was read from its start although a partial file of it was there; empty
    // when it was continued, or there was nothing to continue.
    std::string resumeNote;
    // Why the record was given up while the job went on; empty when it was not.
    std::string failure;
    // What went wrong after the record's file was complete and had its name, such as the
    // manifest refusing its line; the file is written all the same.
    std::string warning;
    // Whose copy each channel of the written file holds, and its levels; set as the file takes
    // its name.
    FileChannels channels{};

    // Whether an earlier read gave `digest`. A digest that could not be computed (empty)
    // confirms nothing, not even another one like it.
    bool confirmedBy(const std::string& digest) const {
        return !digest.empty() &&
               std::find(readHashes.begin(), readHashes.end(), digest) != readHashes.end();
    }

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
    // Why the last step of the folder's files failed (the file, its name, the folder's lock),
    // in the system's words.
    std::string fileFailure;
    // The name whose partial file outputFile is, until the file takes a name of its own.
    std::string partialName;
    // The hash of outputFile's confirmed bytes: its first confirmedFileBytes, which a failure
    // cuts the file back to.
    platform::Sha256 fileHash;
    std::uint64_t confirmedFileBytes = 0;
    // The header's part of those bytes.
    std::uint64_t fileHeaderBytes = 0;
    // The levels of the frames among those bytes, for the manifest and the user's glance.
    LevelMeter fileLevels;
    // Frames that a continued partial file held at its end, from overlapFrom on in the
    // record's frames: the first pairs read again must give the same.
    std::vector<std::uint8_t> overlapFrames;
    std::uint64_t overlapFrom = 0;
    // Every record is read again after it is written, until two reads agree.
    bool verifyReads = false;
    // A record whose sample data exceed this is written as RF64 (see buildWavHeader).
    std::uint64_t riffDataLimit = kMaxRiffDataBytes;
    // The record whose failures are being counted, which a restart of it does not end, and
    // the furthest the reads of the record in progress have come, acknowledged: only getting
    // further (or a record that begins) starts the count anew.
    std::int32_t failingRecord = -1;
    std::uint64_t furthestBytes = 0;

    // Recovery found the blocks back in each other's slots an odd number of times: a row's
    // per-block bytes of slot s now belong to the block in the other slot.
    bool slotsExchanged = false;

    // A worker is moving data; the window thread keeps off the ports and the table.
    std::atomic<bool> workerRunning{false};

    bool transferActive() const { return workerRunning.load() || recoveryPending; }
};

}  // namespace kelvra
