#pragma once

#include <functional>
#include <string>
#include <thread>

#include "cli/ProgressReport.h"
#include "download/DownloadSession.h"
#include "link/BlockPort.h"

namespace kelvra::cli {

// The download session's front end on the command line. The worker runs on a std::thread and
// its reports are handled on that thread: nothing here needs the main thread, which waits for
// the worker to end before it looks at the job.
class CliDownloadHost : public DownloadSessionHost {
public:
    // `transferEnds` tells, from any thread, that the user has asked the transfer to stop.
    // `slotA` and `slotB` are the station's, for saying which block a failure concerns.
    CliDownloadHost(ProgressReport& progress, std::function<bool()> transferEnds,
                    const CBlockPort& slotA, const CBlockPort& slotB);
    ~CliDownloadHost() override;

    void watch(const DownloadSession& session) { session_ = &session; }
    // Waits for the worker started last, if any.
    void join();

    // The fatal error that ended the job, or empty.
    const std::string& fatal() const { return fatal_; }
    // The last message shown, for the line it ended.
    const std::string& lastMessage() const { return lastMessage_; }

    bool startThread(DownloadSession& session) override;
    void stopRecoveryTicks() override {}
    void stopMonitorTicks() override {}
    void resumeTimers(bool recovery) override;
    void drawProgress(std::uint64_t jobBytesTotal, std::uint64_t jobBytesLeft) override;
    void restoreIdleControls() override {}
    void jobFinished() override {}
    void showMessage(const char* message) override;
    void fatalError(const char* message) override;
    void blocksChanged() override {}
    bool windowOpen() const override { return !transferEnds_(); }

private:
    // The window's words first, then what the command line can add: the file and the system's
    // reason, or the blocks that were lost.
    std::string explained(const char* message) const;

    ProgressReport& progress_;
    const CBlockPort& slotA_;
    const CBlockPort& slotB_;
    // Where each slot's block was when the job started.
    int portA_;
    int portB_;
    std::function<bool()> transferEnds_;
    const DownloadSession* session_ = nullptr;
    std::thread worker_;
    std::string fatal_;
    std::string lastMessage_;
};

}  // namespace kelvra::cli
