#include "download/DownloadSession.h"

#include <filesystem>

#include "download/FilePlacement.h"
#include "download/Recovery.h"
#include "link/Messages.h"
#include "platform/file/FilePath.h"
#include "platform/file/FileSizeLimit.h"

namespace kelvra {

DownloadSession::DownloadSession(CBlockPort& slotA, CBlockPort& slotB, RecordInfo* recordTable,
                                 DownloadSessionHost& host)
    : slotA_(slotA), slotB_(slotB), recordTable_(recordTable), host_(host) {}

DownloadState DownloadSession::state() const {
    if (job_.workerRunning.load()) {
        return DownloadState::Running;
    }
    return job_.recoveryPending ? DownloadState::WaitingForRecovery : DownloadState::Idle;
}

QueuedLines DownloadSession::queueLines(const int* lines, int count, int rowCount) {
    QueuedLines queued =
        queueSelectedLines(job_, recordTable_, rowCount, lines, count, slotA_, slotB_);
    checkReads(job_.verifyReads);
    return queued;
}

void DownloadSession::checkReads(bool verify) {
    job_.verifyReads = verify;
    job_.jobBytesTotal = bytesOwed(job_, 0);
    job_.jobBytesLeft = job_.jobBytesTotal;
}

std::vector<DownloadItem> DownloadSession::refuseFilesTooLargeFor(const std::string& folder) {
    const std::optional<platform::FileSizeLimit> limit = platform::fileSizeLimitOf(folder);
    return limit ? refuseFilesOverLimit(job_, *limit) : std::vector<DownloadItem>{};
}

std::vector<DownloadItem> DownloadSession::placeFiles(const std::string& folder, bool skipExisting,
                                                      const ContentConfirmation& confirmContent) {
    const DownloadManifest manifest = DownloadManifest::load(folder);
    unreadable_ = manifest.unreadable();
    job_.outputFolder = folder;
    return kelvra::placeFiles(job_, recordTable_, folder, manifest, skipExisting, confirmContent);
}

void DownloadSession::start() {
    job_.recoveryPending = false;
    job_.retryCount = 0;
    job_.failingRecord = -1;
    job_.furthestBytes = 0;
    job_.slotsExchanged = false;
    slotA_.bytesLeft = 0;
    slotB_.bytesLeft = 0;
    startWorker();
}

void DownloadSession::startWorker() {
    job_.workerRunning = true;
    if (!host_.startThread(*this)) {
        job_.workerRunning = false;
        job_.recoveryPending = false;
        job_.outputFile.close();
        slotA_.bytesLeft = 0;
        slotB_.bytesLeft = 0;
        host_.showMessage(messages::kUnableToStartDownload);
        host_.restoreIdleControls();
        // Like any other end of a job: the panels and the list show the blocks as they are.
        host_.blocksChanged();
        host_.resumeTimers(false);
    }
}

void DownloadSession::runWorker() {
    DownloadContext context{slotA_, slotB_, recordTable_, job_, host_};
    downloadWorker(context);
}

void DownloadSession::abandon() {
    job_.outputFile.close();
    job_.workerRunning = false;
    job_.recoveryPending = false;
    slotA_.bytesLeft = 0;
    slotB_.bytesLeft = 0;
}

std::optional<std::string> DownloadSession::partialFileOf(const DownloadItem& item) const {
    // Looked up on the disk: between a restart and the new worker no file is open, yet the
    // partial one is there.
    const std::string path =
        platform::partialFileName(platform::pathInFolder(job_.outputFolder, item.fileName));
    std::error_code error;
    const std::u8string name(path.begin(), path.end());
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(name, error))) {
        return std::nullopt;
    }
    return path;
}

void DownloadSession::recoveryTick() {
    switch (kelvra::recoveryTick(slotA_, slotB_, job_, blocksAwayWithoutLimit_)) {
        case RecoveryStep::Wait:
            return;
        case RecoveryStep::GiveUp:
            giveUp();
            return;
        case RecoveryStep::StartWorker:
            host_.stopRecoveryTicks();
            host_.stopMonitorTicks();
            startWorker();
            return;
    }
}

void DownloadSession::giveUp() {
    host_.stopRecoveryTicks();
    host_.showMessage(messages::kUnableToReadPort);
    host_.restoreIdleControls();
    job_.recoveryPending = false;
    slotA_.bytesLeft = 0;
    slotB_.bytesLeft = 0;
    closeBlock(slotA_);
    closeBlock(slotB_);
    host_.blocksChanged();
    job_.outputFile.close();
}

}  // namespace kelvra
