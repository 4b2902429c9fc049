#include "download/DownloadSession.h"

#include "download/Recovery.h"
#include "link/Messages.h"
#include "platform/file/FilePath.h"

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

QueuedLines DownloadSession::queueLines(const int* lines, int count) {
    return queueSelectedLines(job_, recordTable_, lines, count, slotA_.present, slotB_.present);
}

int DownloadSession::skipQueued(const std::function<bool(const DownloadItem&)>& skip) {
    return dropQueued(job_, skip);
}

void DownloadSession::start(const std::string& folder) {
    job_.outputFolder = folder;
    job_.recoveryPending = false;
    job_.retryCount = 0;
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
        host_.restoreIdleControls();
        host_.resumeTimers(false);
    }
}

void DownloadSession::runWorker() {
    DownloadContext context{slotA_, slotB_, recordTable_, job_, host_};
    downloadWorker(context);
}

std::optional<std::string> DownloadSession::abandon() {
    std::optional<std::string> partial;
    if (job_.outputFile.isOpen() && job_.queuePos < job_.queueLength) {
        const DownloadItem& item = job_.downloadQueue[static_cast<std::size_t>(job_.queuePos)];
        partial = platform::pathInFolder(job_.outputFolder, item.fileName);
    }
    job_.outputFile.close();
    job_.workerRunning = false;
    job_.recoveryPending = false;
    slotA_.bytesLeft = 0;
    slotB_.bytesLeft = 0;
    return partial;
}

void DownloadSession::recoveryTick() {
    switch (kelvra::recoveryTick(slotA_, slotB_, job_)) {
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
