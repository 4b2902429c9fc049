#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "cli/ProgressReport.h"
#include "download/DownloadSession.h"

namespace kelvra::cli {

// The download session's front end on the command line. The worker runs on a std::thread and
// its reports are handled on that thread: nothing here needs the main thread, which waits for
// the worker to end before it looks at the job.
class CliDownloadHost : public DownloadSessionHost {
public:
    CliDownloadHost(ProgressReport& progress, const std::atomic<bool>& interrupted);
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
    bool windowOpen() const override { return !interrupted_.load(); }

private:
    ProgressReport& progress_;
    const std::atomic<bool>& interrupted_;
    const DownloadSession* session_ = nullptr;
    std::thread worker_;
    std::string fatal_;
    std::string lastMessage_;
};

}  // namespace kelvra::cli
