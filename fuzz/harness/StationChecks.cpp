#include "fuzz/harness/StationChecks.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "download/DownloadManifest.h"
#include "download/PartialRecord.h"
#include "download/WavFormat.h"
#include "platform/dialog/WorkerThread.h"
#include "platform/file/FilePath.h"
#include "platform/file/FolderLock.h"

namespace kelvra::fuzz {

namespace {

std::uint32_t field32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

void checkCompleteFile(const DownloadItem& item, const std::filesystem::path& path,
                       Findings& findings) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        findings.push_back("the job counts '" + item.fileName + "' complete but it is missing");
        return;
    }
    std::uint8_t header[kWavHeaderSize] = {};
    std::ifstream file(path, std::ios::binary);
    file.read(reinterpret_cast<char*>(header), sizeof header);
    const std::string name = "'" + item.fileName + "' ";
    expect(findings, size == kWavHeaderSize + 2 * item.channelBytes(),
           name + "does not hold its record: " + std::to_string(size) + " bytes for " +
               std::to_string(item.channelBytes()) + " per channel");
    if (size < kWavHeaderSize) {
        return;
    }
    expect(findings,
           std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 68, "data", 4) == 0,
           name + "has no RIFF or data header");
    expect(findings, field32(header + 4) == size - 8,
           name + "has a RIFF size that is not its length");
    expect(findings, field32(header + 72) == size - kWavHeaderSize,
           name + "has a data size that is not its length");
}

}  // namespace

void checkJobFiles(const DownloadJob& job, const ScratchFolder& folder, Findings& findings) {
    const DownloadManifest manifest = DownloadManifest::load(folder.path().string());
    expect(findings, manifest.unreadable().empty(), "the download manifest has a bad line");
    const auto first = job.downloadQueue.begin();
    const int queued = std::clamp(job.queueLength, 0, kQueueCapacity);
    for (int i = 0; i < queued; ++i) {
        const DownloadItem& item = job.downloadQueue[static_cast<std::size_t>(i)];
        if (i < job.queuePos && item.failure.empty()) {
            checkCompleteFile(item, folder.file(item.fileName), findings);
            const ManifestEntry* entry = manifest.entryFor(item.fileName);
            expect(findings,
                   entry != nullptr && checkFile(folder.path().string(), *entry) == FileCheck::Ok,
                   "'" + item.fileName + "' is complete but the manifest does not account for it");
        } else {
            expect(findings, !std::filesystem::exists(folder.file(item.fileName)),
                   "'" + item.fileName + "' is not complete but has its final name");
        }
    }
    const auto last = first + queued;
    for (const std::string& name : folder.fileNames()) {
        const bool named = name == kManifestFileName || name == platform::kFolderLockFileName ||
                           std::any_of(first, last, [&](const DownloadItem& item) {
                               return item.fileName == name ||
                                      platform::partialFileName(item.fileName) == name ||
                                      partialRecordFileName(item.fileName) == name;
                           });
        expect(findings, named, "the folder holds '" + name + "', which no queued record names");
    }
}

void checkEndState(CMainDlg& window, const platform::headless::DialogDriver& driver,
                   Findings& findings) {
    expect(findings, platform::AfxRunningWorkerCount() == 0, "a worker still runs at the end");
    if (driver.hasEnded(window)) {
        const auto& boxes = driver.messageBoxes();
        expect(findings,
               !boxes.empty() && !boxes.back().text.empty() &&
                   boxes.back().buttons() == platform::MB_OK,
               "the window closed without a message saying why");
        return;
    }
    const DownloadJob& job = window.download().job();
    expect(findings, !job.transferActive(),
           "the window is left with a download running or waiting for its blocks");
    expect(findings, driver.timerRunning(window, kMonitorTimer), "timer 1 is not running");
    expect(findings, !driver.timerRunning(window, kRecoveryTimer),
           "timer 3 runs with no recovery pending");
    expect(findings,
           !window.IsItemVisible(IDC_PROGRESS) && window.IsItemEnabled(IDC_READ_SELECTED) &&
               window.IsItemEnabled(IDC_CLEAR_MEMORY),
           "the controls are not back to idle");
    expect(findings, !job.outputFile.isOpen(), "a download file is left open");
    expect(findings, window.GetItemText(IDC_SERIAL_A).empty() != window.slotA.present,
           "panel A does not show whether slot A holds a block");
    expect(findings, window.GetItemText(IDC_SERIAL_B).empty() != window.slotB.present,
           "panel B does not show whether slot B holds a block");
    if (!window.slotA.present && !window.slotB.present) {
        expect(findings, window.GetListBox(IDC_RECORD_LIST).GetCount() == 0,
               "the record list shows records while no block is present");
    }
}

}  // namespace kelvra::fuzz
