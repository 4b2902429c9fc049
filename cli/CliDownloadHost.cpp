#include "cli/CliDownloadHost.h"

#include <cstdio>
#include <string>
#include <system_error>
#include <utility>

#include "link/Messages.h"
#include "platform/file/FilePath.h"

namespace kelvra::cli {

CliDownloadHost::CliDownloadHost(ProgressReport& progress, std::function<bool()> transferEnds,
                                 const CBlockPort& slotA, const CBlockPort& slotB)
    : progress_(progress),
      slotA_(slotA),
      slotB_(slotB),
      portA_(slotA.portIndex),
      portB_(slotB.portIndex),
      transferEnds_(std::move(transferEnds)) {}

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
    // The line it ends reports it.
    lastMessage_ = explained(message);
}

void CliDownloadHost::fatalError(const char* message) {
    fatal_ = explained(message);
}

std::string CliDownloadHost::explained(const char* message) const {
    const std::string text = message;
    const DownloadJob& job = session_->job();
    if (text == messages::kUnableToCreateFile || text == messages::kUnableToWriteFile) {
        std::string detail = text;
        if (job.queuePos < job.queueLength) {
            const DownloadItem& item = job.downloadQueue[static_cast<std::size_t>(job.queuePos)];
            detail += ": " + platform::pathInFolder(job.outputFolder, item.fileName);
        }
        const std::string& why = job.fileFailure;
        return why.empty() ? detail : detail + ": " + why;
    }
    if (text == messages::kUnableToReadPort) {
        // Recovery gave up: the blocks of the job are not back as they were.
        const SavedIdentity& saved = job.savedIdentity;
        std::string lost;
        const auto note = [&](bool wasPresent, const CBlockPort& slot, std::int32_t number,
                              std::int32_t year, char name, int port) {
            if (wasPresent &&
                !(slot.present && slot.serialNumber == number && slot.serialYear == year)) {
                char which[64];
                std::snprintf(which, sizeof which, "block %c (S/N %04d-%03d", name, 2000 + year,
                              number);
                lost += std::string(lost.empty() ? "" : ", ") + which +
                        (port == kNoPort ? std::string() : ", COM" + std::to_string(port + 1)) +
                        ")";
            }
        };
        note(saved.presentA, slotA_, saved.serialNumberA, saved.serialYearA, 'A', portA_);
        note(saved.presentB, slotB_, saved.serialNumberB, saved.serialYearB, 'B', portB_);
        return lost.empty() ? text : text + ": " + lost + " did not come back within 50 seconds";
    }
    return text;
}

}  // namespace kelvra::cli
