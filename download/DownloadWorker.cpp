#include "download/DownloadWorker.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "download/DownloadManifest.h"
#include "download/DownloadQueue.h"
#include "download/FilePlacement.h"
#include "download/PartialRecord.h"
#include "download/WavFormat.h"
#include "link/LinkBytes.h"
#include "link/Messages.h"
#include "platform/file/FilePath.h"
#include "platform/file/FolderLock.h"

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

// Pairs of sectors moved since some point of the record, with both blocks' stream counters and
// the job's count as they stood there, so that both streams can go back to it.
struct PairGroup {
    std::uint8_t frames[kMaxUnsettledPairs * 2 * kSectorSize] = {};
    std::size_t bytes = 0;
    StreamCounters a{};
    StreamCounters b{};
    std::uint64_t jobBytesLeft = 0;
};

// The pairs at the end of a continued partial file that are read again and compared with it:
// a whole batch, so that the group a run had written but not yet confirmed is checked too.
constexpr std::uint32_t kOverlapPairs = kMaxUnsettledPairs;

// How much of a continued partial file is read back at a time to hash it.
constexpr std::size_t kReadBackBytes = 64 * 1024;

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
    bool openRecordFile(DownloadItem& item, bool& continuing);
    std::optional<std::uint32_t> continuePartialFile(DownloadItem& item,
                                                     const std::vector<std::uint8_t>& header);
    bool startFile(const std::vector<std::uint8_t>& header);
    bool hashKeptFrames(std::uint64_t end);
    bool matchesOverlap(const PairGroup& group, const DownloadItem& item);
    Outcome readFromStart(DownloadItem& item);
    bool commitRecordFile(DownloadItem& item);
    void confirm(const std::uint8_t* bytes, std::size_t count);
    bool storeGroup(const PairGroup& group);
    void confirmGroup(PairGroup& group);
    bool goBackToTrustedPairs();
    std::vector<std::uint8_t> header(const DownloadItem& item) const;
    void finishJob();
    void transferFailure();
    void fileFailure();
    BlockDescription description(const CBlockPort& block, int slot) const;
    FileChannels fileChannels() const;

    CBlockPort& a_;
    CBlockPort& b_;
    RecordInfo* table_;
    DownloadJob& job_;
    DownloadHost& host_;
    std::uint8_t sectorA_[kSectorSize] = {};
    std::uint8_t sectorB_[kSectorSize] = {};

    // Pairs count as the record's only once they are known good. A group of pairs is
    // acknowledged by both blocks at the end of its batch (a byte lost or added inside a batch
    // shows only there, and every sector behind it is then misaligned), and even then it is
    // confirmed only when the next group is acknowledged cleanly: behind a USB adapter a stray
    // byte after an acknowledgement arrives a packet late, when the acknowledgement has been
    // taken already, and it then misaligns the next group. The record's last group waits for a
    // packet's time instead. An acknowledged group goes to the file at once, so that a run
    // that is killed loses at most the batch it was reading; it is hashed and handed on only
    // once confirmed. On a failure the file is cut back to its confirmed pairs and both blocks
    // go back to the first pair after them; a later run reads its last group again (the
    // overlap) before it continues the file.
    PairGroup groups_[2];
    PairGroup* reading_ = &groups_[0];
    PairGroup* held_ = &groups_[1];
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

// The left channel holds slot A's stream unless the record's channels are swapped; a slot holds
// the block that began the job in the other one once the blocks came back exchanged.
FileChannels Worker::fileChannels() const {
    FileChannels channels;
    for (int channel = 0; channel < 2; ++channel) {
        const bool slotA = (channel == 0) != job_.currentSwapped;
        const CBlockPort& port = slotA ? a_ : b_;
        channels[static_cast<std::size_t>(channel)].levels =
            job_.fileLevels.levels(channel, port.inRecord);
        if (port.inRecord) {
            channels[static_cast<std::size_t>(channel)].block =
                slotA != job_.slotsExchanged ? 'A' : 'B';
        }
    }
    return channels;
}

Worker::Outcome Worker::beginRecord() {
    if (job_.queuePos >= job_.queueLength) {
        finishJob();
        return Outcome::Ended;
    }
    DownloadItem& item = job_.downloadQueue[static_cast<std::size_t>(job_.queuePos)];
    a_.inRecord = item.useA;
    b_.inRecord = item.useB;
    job_.currentSwapped = item.swapped != 0;
    job_.currentRow = item.row;
    // The queue holds only records whose channels the link can count.
    const auto channelBytes = static_cast<std::uint32_t>(item.channelBytes());
    a_.bytesLeft = channelBytes;
    b_.bytesLeft = channelBytes;
    // A record that begins, not one restarted after its failures, starts the count afresh.
    if (job_.queuePos != job_.failingRecord) {
        job_.furthestBytes = 0;
        job_.retryCount = 0;
    }

    RecordInfo& row = table_[job_.currentRow];
    if (row.month > 12) {
        row.month = 0;
    }
    bool continuing = false;
    if (!openRecordFile(item, continuing)) {
        host_.fatalError(messages::kUnableToCreateFile);
        return Outcome::Ended;
    }
    const std::vector<std::uint8_t> wavHeader = header(item);
    job_.fileHeaderBytes = wavHeader.size();
    std::uint32_t firstSector = 0;
    if (continuing) {
        const auto continued = continuePartialFile(item, wavHeader);
        if (!continued) {
            fileFailure();
            return Outcome::Ended;
        }
        firstSector = *continued;
    } else if (!startFile(wavHeader)) {
        fileFailure();
        return Outcome::Ended;
    }
    if (channelBytes == 0) {
        // A record of no length is complete with its header; its blocks are not asked.
        return completeRecord();
    }
    // The pairs kept from an earlier run are done.
    const std::uint32_t kept = firstSector * static_cast<std::uint32_t>(kSectorSize);
    a_.bytesLeft = channelBytes - kept;
    b_.bytesLeft = channelBytes - kept;
    job_.jobBytesLeft = job_.jobBytesLeft > kept ? job_.jobBytesLeft - kept : 0;
    if (!a_.startRecord(static_cast<std::uint8_t>(item.addrA & 0xFF),
                        static_cast<std::uint8_t>(item.recordIndex & 0xFF), firstSector)) {
        host_.fatalError(messages::kUnableToWritePortA2);
        return Outcome::Ended;
    }
    if (!b_.startRecord(static_cast<std::uint8_t>(item.addrB & 0xFF),
                        static_cast<std::uint8_t>(item.recordIndex & 0xFF), firstSector)) {
        host_.fatalError(messages::kUnableToWritePortB2);
        return Outcome::Ended;
    }
    return Outcome::Continue;
}

Worker::Outcome Worker::movePair() {
    const std::uint32_t h = a_.bytesLeft >= kSectorSize ? kSectorSize : a_.bytesLeft;
    PairGroup& group = *reading_;
    if (group.bytes == 0) {
        group.a = StreamCounters::of(a_);
        group.b = StreamCounters::of(b_);
        group.jobBytesLeft = job_.jobBytesLeft;
    }
    const bool settlesA = a_.nextSectorSettles();
    const bool settlesB = b_.nextSectorSettles();
    // Both blocks' batches cover the same sectors, so a group holds a whole batch; a pair that
    // would not fit means the blocks disagree on where their batches end, and nothing
    // unacknowledged may reach the file.
    const bool fits = group.bytes + 2 * kSectorSize <= sizeof group.frames;
    // Bytes the driver saw damaged on the line are not trusted, whatever their count.
    const std::uint64_t lineErrors = a_.lineErrors() + b_.lineErrors();
    if (!fits || !a_.readSector(sectorA_) || !b_.readSector(sectorB_) ||
        a_.lineErrors() + b_.lineErrors() != lineErrors) {
        if (goBackToTrustedPairs()) {
            transferFailure();
        } else {
            fileFailure();
        }
        return Outcome::Ended;
    }
    interleaveFrames(job_.currentSwapped ? sectorB_ : sectorA_,
                     job_.currentSwapped ? sectorA_ : sectorB_, h, group.frames + group.bytes);
    group.bytes += 2 * h;
    job_.jobBytesLeft = job_.jobBytesLeft > h ? job_.jobBytesLeft - h : 0;
    const DownloadItem& current = job_.downloadQueue[static_cast<std::size_t>(job_.queuePos)];
    if (settlesA && settlesB) {
        if (!matchesOverlap(group, current)) {
            return readFromStart(job_.downloadQueue[static_cast<std::size_t>(job_.queuePos)]);
        }
        // This group came in clean: it goes to the file, and the one held before it is good.
        if (!storeGroup(group)) {
            fileFailure();
            return Outcome::Ended;
        }
        confirmGroup(*held_);
        std::swap(reading_, held_);
        // Reads that get further than they ever got, resumed or restarted, have mended the
        // failures before: a long job survives a fault now and then, not only four in all.
        const std::uint64_t reached = current.channelBytes() - a_.bytesLeft;
        if (reached > job_.furthestBytes) {
            job_.furthestBytes = reached;
            job_.retryCount = 0;
        }
    }
    if (a_.bytesLeft == 0) {
        if (!a_.silentAfterRecord() || !b_.silentAfterRecord()) {
            if (goBackToTrustedPairs()) {
                transferFailure();
            } else {
                fileFailure();
            }
            return Outcome::Ended;
        }
        confirmGroup(*held_);
        return completeRecord();
    }
    host_.drawProgress(job_.jobBytesTotal, job_.jobBytesLeft);
    return Outcome::Continue;
}

// False when the file could not be cut back to its confirmed pairs.
bool Worker::goBackToTrustedPairs() {
    // The group being read took its counters before its first pair, so it always has them.
    const PairGroup& first = held_->bytes != 0 ? *held_ : *reading_;
    first.a.restore(a_);
    first.b.restore(b_);
    job_.jobBytesLeft = first.jobBytesLeft;
    held_->bytes = 0;
    reading_->bytes = 0;
    return job_.outputFile.truncate(job_.confirmedFileBytes);
}

Worker::Outcome Worker::completeRecord() {
    // A read that reached the record's end mended its failures: a further read of the record
    // begins afresh.
    job_.failingRecord = -1;
    DownloadItem& item = job_.downloadQueue[static_cast<std::size_t>(job_.queuePos)];
    const std::string digest = job_.fileHash.hexDigest();
    if (job_.verifyReads) {
        // The link has no checksum: a read is trusted once another read gave the same bytes.
        if (!item.confirmedBy(digest)) {
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
    platform::FolderLock lock;
    if (!lock.take(job_.outputFolder, kFolderLockWaitMs)) {
        job_.fileFailure = lock.failure();
        fileFailure();
        return Outcome::Ended;
    }
    if (!commitRecordFile(item)) {
        fileFailure();
        return Outcome::Ended;
    }
    removePartialRecord(job_.outputFolder, job_.partialName);
    ManifestEntry entry;
    entry.file = item.fileName;
    entry.size = job_.confirmedFileBytes;
    entry.sha256 = digest;
    entry.record = item.identity;
    entry.readMode = readModeOf(a_, b_);
    entry.downloadedAt = utcNow();
    entry.recoveries = item.recoveries;
    item.channels = fileChannels();
    entry.channels = item.channels;
    // The file is written: a line the manifest does not take is told with it, and the job
    // goes on.
    std::string failure;
    if (!DownloadManifest::append(job_.outputFolder, entry, &failure)) {
        item.warning = std::string("not recorded in ") + kManifestFileName + ": " + failure;
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

// Another download may have taken the name since the job was placed: the record is placed
// again, and its partial file opened, under the folder's lock, which the other download holds
// while it does the same. A partial file that its record file gives to another record is kept,
// and the record moves on to the next free name; one of this very record is continued (but
// not for a second read of a checked record, which must be a whole read of its own). Anything
// else there is emptied, and the record file says which record the partial file holds before
// it gets its first byte.
bool Worker::openRecordFile(DownloadItem& item, bool& continuing) {
    platform::FolderLock lock;
    if (!lock.take(job_.outputFolder, kFolderLockWaitMs)) {
        job_.fileFailure = lock.failure();
        return false;
    }
    if (const std::string why = placeAgain(job_, item, table_, false); !why.empty()) {
        job_.fileFailure = why;
        return false;
    }
    std::optional<PartialRecord> partial;
    while ((partial = readPartialRecord(job_.outputFolder, item.fileName)) &&
           !sameRecord(partial->record, item.identity)) {
        if (item.placementNote.empty()) {
            item.placementNote = item.fileName + ".part holds another record and was kept";
        }
        if (const std::string why = placeAgain(job_, item, table_, true); !why.empty()) {
            job_.fileFailure = why;
            return false;
        }
    }
    const PartialRecord wanted{item.identity, item.sampleRate, item.channelBytes()};
    continuing = partial == wanted && (!job_.verifyReads || item.readHashes.empty());
    // By its full path: a folder that cannot be used must not send the file anywhere else.
    const std::string path = platform::pathInFolder(job_.outputFolder, item.fileName);
    const bool opened =
        continuing ? job_.outputFile.openToContinue(path) : job_.outputFile.open(path);
    job_.fileFailure = opened ? std::string() : job_.outputFile.failure();
    job_.partialName = item.fileName;
    if (opened && !continuing &&
        !writePartialRecord(job_.outputFolder, item.fileName, wanted, job_.fileFailure)) {
        job_.outputFile.close();
        return false;
    }
    return opened;
}

std::vector<std::uint8_t> Worker::header(const DownloadItem& item) const {
    const BlockDescription describedA = description(a_, 0);
    const BlockDescription describedB = description(b_, 1);
    const WavHeader header = buildWavHeader(
        item.channelBytes(), item.sampleRate, job_.currentSwapped ? describedB : describedA,
        job_.currentSwapped ? describedA : describedB, job_.riffDataLimit);
    return {header.bytes, header.bytes + header.size};
}

// The file from its header on, empty of frames.
bool Worker::startFile(const std::vector<std::uint8_t>& header) {
    job_.fileHash.reset();
    job_.fileLevels.reset();
    job_.overlapFrames.clear();
    job_.confirmedFileBytes = 0;
    if (!job_.outputFile.truncate(0) || !job_.outputFile.write(header.data(), header.size())) {
        return false;
    }
    confirm(header.data(), header.size());
    return true;
}

// Keeps the frames of the open partial file up to its last whole pair of sectors, less the
// overlap, which is set aside to be compared with the same pairs read again. Returns the
// sector the blocks go on from; 0 when the file was begun afresh instead, nothing when the
// file failed.
std::optional<std::uint32_t> Worker::continuePartialFile(DownloadItem& item,
                                                         const std::vector<std::uint8_t>& header) {
    const auto size = job_.outputFile.size();
    if (!size) {
        return std::nullopt;
    }
    const std::string partialName = item.fileName + ".part";
    std::vector<std::uint8_t> held(header.size());
    const bool basic = (a_.inRecord && !a_.addressedReads) || (b_.inRecord && !b_.addressedReads);
    const bool sameHeader = *size >= header.size() &&
                            job_.outputFile.readAt(0, held.data(), held.size()) && held == header;
    const std::uint64_t frames = *size > header.size() ? *size - header.size() : 0;
    const ResumePoint point = resumePointOf(frames, item.channelBytes(), kOverlapPairs);
    if (point.keptBytes + point.overlapBytes == 0) {
        return startFile(header) ? std::optional<std::uint32_t>(0) : std::nullopt;
    }
    if (basic || !sameHeader) {
        item.resumeNote = partialName + (basic ? " cannot be continued by a block that streams "
                                                 "whole records only: read from the start"
                                               : " does not begin as this record's file: read "
                                                 "from the start");
        return startFile(header) ? std::optional<std::uint32_t>(0) : std::nullopt;
    }
    job_.overlapFrom = point.keptBytes;
    job_.overlapFrames.assign(static_cast<std::size_t>(point.overlapBytes), 0);
    if (!job_.outputFile.readAt(header.size() + point.keptBytes, job_.overlapFrames.data(),
                                job_.overlapFrames.size()) ||
        !job_.outputFile.truncate(header.size() + point.keptBytes) ||
        !hashKeptFrames(header.size() + point.keptBytes)) {
        return std::nullopt;
    }
    // Said, so that a user who stopped the download knows it was not read whole again.
    item.resumeNote = "continued from ";
    item.resumeNote += partialName;
    item.resumeNote += ", which held ";
    item.resumeNote +=
        std::to_string((point.keptBytes + point.overlapBytes) * 100 / (2 * item.channelBytes()));
    item.resumeNote += " % of it";
    return point.firstSector;
}

// The file's hash covers the whole file: what an earlier run wrote is read back for it.
bool Worker::hashKeptFrames(std::uint64_t end) {
    job_.fileHash.reset();
    job_.fileLevels.reset();
    job_.confirmedFileBytes = 0;
    std::vector<std::uint8_t> chunk(kReadBackBytes);
    while (job_.confirmedFileBytes < end) {
        const auto count = static_cast<std::size_t>(
            std::min<std::uint64_t>(chunk.size(), end - job_.confirmedFileBytes));
        if (!job_.outputFile.readAt(job_.confirmedFileBytes, chunk.data(), count)) {
            return false;
        }
        confirm(chunk.data(), count);
    }
    return true;
}

// Whether the pairs of `group` that a continued partial file held are the same there. Once
// the group reaches past the overlap, it is checked and set aside.
bool Worker::matchesOverlap(const PairGroup& group, const DownloadItem& item) {
    if (job_.overlapFrames.empty()) {
        return true;
    }
    const std::uint64_t start = 2 * (item.channelBytes() - group.a.bytesLeft);
    const std::uint64_t end = start + group.bytes;
    const std::uint64_t overlapEnd = job_.overlapFrom + job_.overlapFrames.size();
    const std::uint64_t from = std::max(start, job_.overlapFrom);
    const std::uint64_t to = std::min(end, overlapEnd);
    if (from < to && !std::equal(group.frames + (from - start), group.frames + (to - start),
                                 job_.overlapFrames.begin() +
                                     static_cast<std::ptrdiff_t>(from - job_.overlapFrom))) {
        return false;
    }
    if (end >= overlapEnd) {
        job_.overlapFrames.clear();
    }
    return true;
}

// The blocks no longer hold what the partial file holds (cleared and recording again since,
// perhaps): the record is read again from its start, into an emptied file.
Worker::Outcome Worker::readFromStart(DownloadItem& item) {
    item.resumeNote = item.fileName + ".part has changed on the blocks: read from the start";
    const std::uint64_t channelBytes = item.channelBytes();
    job_.jobBytesLeft += channelBytes - a_.bytesLeft;
    held_->bytes = 0;
    reading_->bytes = 0;
    if (!startFile(header(item))) {
        fileFailure();
        return Outcome::Ended;
    }
    // The batch already asked for comes all the same, and must not be taken for the first.
    const bool idle = a_.dropRequested() && b_.dropRequested();
    a_.bytesLeft = static_cast<std::uint32_t>(channelBytes);
    b_.bytesLeft = static_cast<std::uint32_t>(channelBytes);
    a_.sectorIndex = 0;
    b_.sectorIndex = 0;
    if (!idle) {
        transferFailure();
        return Outcome::Ended;
    }
    if (!a_.startRecord(a_.entryAddress, a_.recordIndex)) {
        host_.fatalError(messages::kUnableToWritePortA2);
        return Outcome::Ended;
    }
    if (!b_.startRecord(b_.entryAddress, b_.recordIndex)) {
        host_.fatalError(messages::kUnableToWritePortB2);
        return Outcome::Ended;
    }
    return Outcome::Continue;
}

// Under the folder's lock: the file takes its name, replacing only what placement judged it
// may, or moves on to the next free name when something else stands there now.
bool Worker::commitRecordFile(DownloadItem& item) {
    for (;;) {
        const std::string path = platform::pathInFolder(job_.outputFolder, item.fileName);
        switch (job_.outputFile.commit(path, item.replaces)) {
            case platform::CommitResult::Done:
                return true;
            case platform::CommitResult::Failed:
                job_.fileFailure = job_.outputFile.failure();
                return false;
            case platform::CommitResult::NameTaken:
                if (const std::string why = placeAgain(job_, item, table_, true); !why.empty()) {
                    job_.fileFailure = why;
                    return false;
                }
                break;
        }
    }
}

// The one place where the file's confirmed bytes are handed on: the hash takes them all, the
// levels the frames after the header.
void Worker::confirm(const std::uint8_t* bytes, std::size_t count) {
    job_.fileHash.update(bytes, count);
    const std::uint64_t end = job_.confirmedFileBytes + count;
    if (end > job_.fileHeaderBytes) {
        const std::uint64_t skip = job_.fileHeaderBytes > job_.confirmedFileBytes
                                       ? job_.fileHeaderBytes - job_.confirmedFileBytes
                                       : 0;
        job_.fileLevels.add(bytes + skip, count - static_cast<std::size_t>(skip));
    }
    job_.confirmedFileBytes = end;
}

bool Worker::storeGroup(const PairGroup& group) {
    return group.bytes == 0 || job_.outputFile.write(group.frames, group.bytes);
}

void Worker::confirmGroup(PairGroup& group) {
    confirm(group.frames, group.bytes);
    group.bytes = 0;
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
    // Failures count until the record's reads get further than they ever got (see movePair),
    // over restarts of the record too: a fault that comes back at the same place every time
    // must end in a message, not resume or restart the record for ever.
    job_.failingRecord = job_.queuePos;
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
    if (job_.fileFailure.empty()) {
        job_.fileFailure = job_.outputFile.failure();
    }
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
