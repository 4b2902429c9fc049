#pragma once

#include <functional>
#include <optional>
#include <string>

#include "download/DownloadJob.h"
#include "download/DownloadQueue.h"
#include "download/DownloadWorker.h"
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

    // Queues the records of the given table lines, in order, for the blocks present. Nothing
    // starts yet.
    QueuedLines queueLines(const int* lines, int count);
    // Takes the queued records for which `skip` holds out of the job before it starts; the
    // others keep their file names.
    int skipQueued(const std::function<bool(const DownloadItem&)>& skip);
    // Starts the queued job into `folder`. The front end has stopped its monitor ticks.
    void start(const std::string& folder);
    // One tick of the recovery timer while the job waits for its blocks.
    void recoveryTick();
    // The worker thread's procedure.
    void runWorker();
    // Ends a job that was stopped from outside (its worker returned because the front end
    // closed, or recovery was waiting): the file in progress is closed as written. Returns its
    // path, if a record was in progress. Only once no worker runs.
    std::optional<std::string> abandon();

private:
    void startWorker();
    void giveUp();

    CBlockPort& slotA_;
    CBlockPort& slotB_;
    RecordInfo* recordTable_;
    DownloadSessionHost& host_;
    DownloadJob job_;
};

}  // namespace kelvra
