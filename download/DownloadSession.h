#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "download/DownloadJob.h"
#include "download/DownloadQueue.h"
#include "download/DownloadWorker.h"
#include "download/FilePlacement.h"
#include "link/BlockPort.h"
#include "records/RecordInfo.h"

namespace kelvra {

// Where a download job stands.
enum class DownloadState {
    Idle,                // no job, or the last one ended
    Running,             // a worker moves data and owns the ports
    WaitingForRecovery,  // a transfer failed; the monitor looks for the blocks again
};

// What the session asks of the front end that shows it, beyond what the worker reports.
// Starting threads and carrying calls to the front end's thread are the front end's business.
class DownloadSessionHost : public DownloadHost {
public:
    // Runs session.runWorker() on a new thread; false when no thread could be started.
    virtual bool startThread(class DownloadSession& session) = 0;
    // The recovery ticks stop: the job goes on or is given up.
    virtual void stopRecoveryTicks() = 0;
    // The monitor ticks stop: a worker is about to own the ports.
    virtual void stopMonitorTicks() = 0;
};

// The one owner of a download job: builds it from record rows, starts the worker, decides on
// each recovery tick and gives up. A front end shows what it reports and asks it for the job's
// state; it never writes the job itself.
class DownloadSession {
public:
    DownloadSession(CBlockPort& slotA, CBlockPort& slotB, RecordInfo* recordTable,
                    DownloadSessionHost& host);

    DownloadState state() const;
    const DownloadJob& job() const { return job_; }
    // A worker runs or recovery waits: the ports and the table belong to the job.
    bool transferActive() const { return job_.transferActive(); }
    bool recoveryPending() const { return job_.recoveryPending; }

    // Queues the records of the given lines of a table of `rowCount` rows, in order, for the
    // blocks present. Nothing starts yet.
    QueuedLines queueLines(const int* lines, int count, int rowCount);
    // Every record is read again after it is written, until two reads agree.
    void checkReads(bool verify);
    // Recovery waits for blocks that went away as long as they stay away, instead of giving up
    // after its tries; failures with the blocks there still count.
    void waitForBlocksWithoutLimit() { blocksAwayWithoutLimit_ = true; }
    // Takes out of the queue the records whose file `folder`'s file system cannot hold (FAT
    // stops at 4 GiB), each with its failure, and returns them: they are told before the job
    // starts, not hours into it.
    std::vector<DownloadItem> refuseFilesTooLargeFor(const std::string& folder);
    // Chooses each queued record's file in `folder` from what its manifest says, before the
    // job starts: a file of another record is never replaced. With `skipExisting`, records the
    // folder holds intact already leave the queue once `confirmContent` (when given) finds the
    // record's content in the file; they are returned, each with its file.
    std::vector<DownloadItem> placeFiles(const std::string& folder, bool skipExisting,
                                         const ContentConfirmation& confirmContent = {});
    // The manifest lines that could not be read when the files were placed.
    const std::vector<std::string>& unreadableManifestLines() const { return unreadable_; }
    // Starts the placed job. The front end has stopped its monitor ticks.
    void start();
    // One tick of the recovery timer while the job waits for its blocks.
    void recoveryTick();
    // The worker thread's procedure.
    void runWorker();
    // Ends a job that was stopped from outside (its worker returned because the front end
    // closed, or recovery was waiting): the file in progress is closed as written, under its
    // temporary name. Only once no worker runs.
    void abandon();
    // The partial file an unfinished record of this job left in the folder, if there is one.
    std::optional<std::string> partialFileOf(const DownloadItem& item) const;

private:
    void startWorker();
    void giveUp();

    CBlockPort& slotA_;
    CBlockPort& slotB_;
    RecordInfo* recordTable_;
    DownloadSessionHost& host_;
    DownloadJob job_;
    std::vector<std::string> unreadable_;
    bool blocksAwayWithoutLimit_ = false;
};

}  // namespace kelvra
