#include "download/DownloadWorker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "download/DownloadManifest.h"
#include "download/DownloadQueue.h"
#include "download/WavFormat.h"
#include "link/LinkBytes.h"
#include "link/Messages.h"
#include "platform/file/FilePath.h"

namespace kelvra {

namespace {

struct StreamCounters {
    std::uint32_t bytesLeft;
    std::uint32_t sectorIndex;
    std::int32_t batchLeft;

    static StreamCounters of(const CBlockPort& block) {
        return {block.bytesLeft, block.sectorIndex, block.batchLeft};
    }
    void restore(CBlockPort& block) const {
        block.bytesLeft = bytesLeft;
        block.sectorIndex = sectorIndex;
        block.batchLeft = batchLeft;
    }
};

// The most sectors a block sends under one acknowledgement.
constexpr std::size_t kMaxUnsettledPairs = 20;

// Reads of one record, when reads are checked, before it is given up for want of two alike.
constexpr std::size_t kMaxCheckedReads = 4;

// The time of a download as the manifest notes it: UTC, ISO 8601.
std::string utcNow() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

// How the blocks of a record served it: a block in basic stream mode restarts the whole record
// after a failure, so it decides.
std::string readModeOf(const CBlockPort& a, const CBlockPort& b) {
    const bool basic = (a.inRecord && !a.addressedReads) || (b.inRecord && !b.addressedReads);
    if (basic) {
        return "basic stream";
    }
    const bool batches = (!a.inRecord || a.batchReads) && (!b.inRecord || b.batchReads);
    return batches ? "batches" : "single sectors";
}

class Worker {
public:
    explicit Worker(DownloadContext& context)
        : a_(context.slotA),
          b_(context.slotB),
          table_(context.recordTable),
          job_(context.job),
          host_(context.host) {}

    void run();

private:
    enum class Outcome { Continue, Ended };

    Outcome beginRecord();
    Outcome movePair();
    Outcome completeRecord();
    Outcome nextRecord();
    bool write(const std::uint8_t* bytes, std::size_t count);
    bool writeSettledPairs();
    void finishJob();
    void transferFailure();
    void fileFailure();
    BlockDescription description(const CBlockPort& block, int slot) const;

    CBlockPort& a_;
    CBlockPort& b_;
    RecordInfo* table_;
    DownloadJob& job_;
    DownloadHost& host_;
    std::uint8_t sectorA_[kSectorSize] = {};
    std::uint8_t sectorB_[kSectorSize] = {};

    // Pairs whose sectors are not yet acknowledged by both blocks. They reach the file only
    // when the acknowledgements have come: a byte lost or added inside a batch shows only at
    // its end, and every sector behind it is then misaligned. On a failure both blocks go
    // back to the first of these pairs.
    std::uint8_t unsettled_[kMaxUnsettledPairs * 2 * kSectorSize] = {};
    std::size_t unsettledBytes_ = 0;
    StreamCounters settledA_{};
    StreamCounters settledB_{};
    std::uint64_t settledJobBytesLeft_ = 0;
};

void Worker::run() {
    if (a_.bytesLeft != 0) {
        // Resuming an interrupted record: both blocks are asked again from their own
        // sectorIndex, also a block whose batch was cut short.
        a_.batchLeft = 0;
        b_.batchLeft = 0;
        a_.requestSectors();
        b_.requestSectors();
    }
    for (;;) {
        if (!host_.windowOpen()) {
            return;
        }
        const Outcome outcome = a_.bytesLeft == 0 ? beginRecord() : movePair();
        if (outcome == Outcome::Ended) {
            return;
        }
    }
}

BlockDescription Worker::description(const CBlockPort& block, int slot) const {
    if (!block.inRecord) {
        return BlockDescription{};
    }
    const RecordInfo& row = table_[job_.currentRow];
    const int copy = job_.slotsExchanged ? 1 - slot : slot;
    return describeBlock(row.setting2[copy], row.setting1[copy], block.serialYear, block.firmware,
                         block.serialNumber);
}

Worker::Outcome Worker::beginRecord() {
    if (job_.queuePos >= job_.queueLength) {
        finishJob();
        return Outcome::Ended;
    }
    const DownloadItem& item = job_.downloadQueue[static_cast<std::size_t>(job_.queuePos)];
    a_.inRecord = item.useA;
    b_.inRecord = item.useB;
    job_.currentSwapped = item.swapped != 0;
    job_.currentRow = item.row;
    // The queue holds only records whose size fits a WAV file.
    const auto channelBytes = static_cast<std::uint32_t>(item.channelBytes());
    a_.bytesLeft = channelBytes;
    b_.bytesLeft = channelBytes;
    // A record that begins, not one restarted after its failures, starts the count afresh.
    if ((!a_.addressedReads || !b_.addressedReads) && job_.queuePos != job_.failingRecord) {
        job_.retryCount = 0;
    }

    RecordInfo& row = table_[job_.currentRow];
    if (row.month > 12) {
        row.month = 0;
    }
    // By its full path: a folder that cannot be used must not send the file anywhere else.
    if (!job_.outputFile.open(platform::pathInFolder(job_.outputFolder, item.fileName))) {
        host_.fatalError(messages::kUnableToCreateFile);
        return Outcome::Ended;
    }
    job_.fileHash.reset();
    std::uint8_t header[kWavHeaderSize];
    const BlockDescription describedA = description(a_, 0);
    const BlockDescription describedB = description(b_, 1);
    buildWavHeader(header, channelBytes, item.sampleRate,
                   job_.currentSwapped ? describedB : describedA,
                   job_.currentSwapped ? describedA : describedB);
    if (!write(header, sizeof header)) {
        fileFailure();
        return Outcome::Ended;
    }
    if (channelBytes == 0) {
        // A record of no length is complete with its header; its blocks are not asked.
        return completeRecord();
    }
    if (!a_.startRecord(static_cast<std::uint8_t>(item.addrA & 0xFF),
                        static_cast<std::uint8_t>(item.recordIndex & 0xFF))) {
        host_.fatalError(messages::kUnableToWritePortA2);
        return Outcome::Ended;
    }
    if (!b_.startRecord(static_cast<std::uint8_t>(item.addrB & 0xFF),
                        static_cast<std::uint8_t>(item.recordIndex & 0xFF))) {
        host_.fatalError(messages::kUnableToWritePortB2);
        return Outcome::Ended;
    }
    return Outcome::Continue;
}

Worker::Outcome Worker::movePair() {
    const std::uint32_t h = a_.bytesLeft >= kSectorSize ? kSectorSize : a_.bytesLeft;
    if (unsettledBytes_ == 0) {
        settledA_ = StreamCounters::of(a_);
        settledB_ = StreamCounters::of(b_);
        settledJobBytesLeft_ = job_.jobBytesLeft;
    }
    const bool settlesA = a_.nextSectorSettles();
    const bool settlesB = b_.nextSectorSettles();
    // Both blocks' batches cover the same sectors, so the buffer holds a whole batch; a pair
    // that would not fit means the blocks disagree on where their batches end, and nothing
    // unacknowledged may reach the file.
    const bool fits = unsettledBytes_ + 2 * kSectorSize <= sizeof unsettled_;
    if (!fits || !a_.readSector(sectorA_) || !b_.readSector(sectorB_)) {
        // Neither block's sectors since the last acknowledgement of both are trusted: both go
        // back to the first of them, so both channels resume at the same sector.
        settledA_.restore(a_);
        settledB_.restore(b_);
        job_.jobBytesLeft = settledJobBytesLeft_;
        unsettledBytes_ = 0;
        transferFailure();
        return Outcome::Ended;
    }
    interleaveFrames(job_.currentSwapped ? sectorB_ : sectorA_,
                     job_.currentSwapped ? sectorA_ : sectorB_, h, unsettled_ + unsettledBytes_);
    unsettledBytes_ += 2 * h;
    job_.jobBytesLeft = job_.jobBytesLeft > h ? job_.jobBytesLeft - h : 0;
    if (settlesA && settlesB) {
        if (!writeSettledPairs()) {
            fileFailure();
            return Outcome::Ended;
        }
        // A restarted record that gets further than it ever got has mended its failures.
        const DownloadItem& item = job_.downloadQueue[static_cast<std::size_t>(job_.queuePos)];
        if (job_.queuePos == job_.failingRecord &&
            item.channelBytes() - a_.bytesLeft > job_.furthestBytes) {
            job_.retryCount = 0;
        }
    }
    if (a_.bytesLeft == 0) {
        return completeRecord();
    }
    host_.drawProgress(job_.jobBytesTotal, job_.jobBytesLeft);
    return Outcome::Continue;
}

Worker::Outcome Worker::completeRecord() {
    DownloadItem& item = job_.downloadQueue[static_cast<std::size_t>(job_.queuePos)];
    const std::string digest = job_.fileHash.hexDigest();
    if (job_.verifyReads) {
        // The link has no checksum: a read is trusted once another read gave the same bytes.
        const bool confirmed = std::find(item.readHashes.begin(), item.readHashes.end(), digest) !=
                               item.readHashes.end();
        if (!confirmed) {
            item.readHashes.push_back(digest);
            job_.outputFile.close();
            if (item.readHashes.size() >= kMaxCheckedReads) {
                item.failure = messages::kReadsDisagree;
                return nextRecord();
            }
            if (item.readHashes.size() >= 2) {
                job_.jobBytesTotal += item.channelBytes();
                job_.jobBytesLeft += item.channelBytes();
            }
            return Outcome::Continue;
        }
    }
    if (!job_.outputFile.commit()) {
        fileFailure();
        return Outcome::Ended;
    }
    ManifestEntry entry;
    entry.file = item.fileName;
    entry.size = kWavHeaderSize + 2 * item.channelBytes();
    entry.sha256 = digest;
    entry.record = item.identity;
    entry.readMode = readModeOf(a_, b_);
    entry.downloadedAt = utcNow();
    entry.recoveries = item.recoveries;
    if (!DownloadManifest::append(job_.outputFolder, entry)) {
        fileFailure();
        return Outcome::Ended;
    }
    return nextRecord();
}

Worker::Outcome Worker::nextRecord() {
    ++job_.queuePos;
    if (job_.queuePos >= job_.queueLength) {
        finishJob();
        return Outcome::Ended;
    }
    host_.drawProgress(job_.jobBytesTotal, job_.jobBytesLeft);
    return Outcome::Continue;
}

bool Worker::write(const std::uint8_t* bytes, std::size_t count) {
    job_.fileHash.update(bytes, count);
    return job_.outputFile.write(bytes, count);
}

bool Worker::writeSettledPairs() {
    const std::size_t count = unsettledBytes_;
    unsettledBytes_ = 0;
    return write(unsettled_, count);
}

void Worker::finishJob() {
    job_.recoveryPending = false;
    host_.jobFinished();
    job_.workerRunning = false;
    host_.resumeTimers(false);
}

void Worker::transferFailure() {
    DownloadItem& item = job_.downloadQueue[static_cast<std::size_t>(job_.queuePos)];
    ++item.recoveries;
    // Blocks that all serve addressed reads count failures over the whole job. A record that is
    // restarted counts them until its reads get further than before: a fault that comes back at
    // the same place every time must end in a message, not restart the record for ever.
    if (!a_.addressedReads || !b_.addressedReads) {
        const std::uint64_t reached = item.channelBytes() - a_.bytesLeft;
        if (job_.failingRecord != job_.queuePos || reached > job_.furthestBytes) {
            job_.failingRecord = job_.queuePos;
            job_.furthestBytes = reached;
            job_.retryCount = 0;
        }
    }
    job_.savedIdentity = {a_.present,      b_.present,    a_.serialNumber,
                          b_.serialNumber, a_.serialYear, b_.serialYear};
    closeBlock(a_);
    closeBlock(b_);
    job_.recoveryPending = true;
    ++job_.retryCount;
    job_.workerRunning = false;
    // Timers last: a tick must not meet the slots half closed.
    host_.resumeTimers(true);
}

void Worker::fileFailure() {
    // The file cannot hold the record: the job stops here and the window returns to idle.
    // The blocks are in mid-stream, so both are closed and found anew.
    job_.outputFile.close();
    a_.bytesLeft = 0;
    b_.bytesLeft = 0;
    closeBlock(a_);
    closeBlock(b_);
    job_.recoveryPending = false;
    host_.showMessage(messages::kUnableToWriteFile);
    host_.restoreIdleControls();
    host_.blocksChanged();
    job_.workerRunning = false;
    host_.resumeTimers(false);
}

}  // namespace

void downloadWorker(DownloadContext& context) {
    Worker(context).run();
}

int progressBoundary(int left, int right, std::uint64_t jobBytesTotal, std::uint64_t jobBytesLeft) {
    if (jobBytesTotal == 0) {
        return left;
    }
    const double done = static_cast<double>(jobBytesTotal) - static_cast<double>(jobBytesLeft);
    return left + static_cast<int>(static_cast<double>(right - left) * done /
                                   static_cast<double>(jobBytesTotal));
}

}  // namespace kelvra
