#include "cli/CliDownloadHost.h"

#include <system_error>

namespace kelvra::cli {

CliDownloadHost::CliDownloadHost(ProgressReport& progress, const std::atomic<bool>& interrupted)
    : progress_(progress), interrupted_(interrupted) {}

CliDownloadHost::~CliDownloadHost() {
    join();
}

void CliDownloadHost::join() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

bool CliDownloadHost::startThread(DownloadSession& session) {
    join();
    try {
        worker_ = std::thread([&session] { session.runWorker(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CliDownloadHost::resumeTimers(bool recovery) {
    if (recovery) {
        progress_.note("The transfer broke off: waiting for the blocks to come back");
    }
}

void CliDownloadHost::drawProgress(std::uint64_t jobBytesTotal, std::uint64_t jobBytesLeft) {
    // Called on the worker's thread, the one that moves the queue position.
    const DownloadJob& job = session_->job();
    const int position = job.queuePos < job.queueLength ? job.queuePos : job.queueLength - 1;
    progress_.update(job.downloadQueue[static_cast<std::size_t>(position)].fileName, jobBytesTotal,
                     jobBytesLeft);
}

void CliDownloadHost::showMessage(const char* message) {
    lastMessage_ = message;
    progress_.note(message);
}

void CliDownloadHost::fatalError(const char* message) {
    fatal_ = message;
}

}  // namespace kelvra::cli
