#pragma once

#include <cstdint>

#include "download/DownloadJob.h"
#include "link/BlockPort.h"
#include "records/RecordInfo.h"

namespace kelvra {

// What the worker asks of the main window. Each call is carried to the window's thread and
// returns once it has been handled there.
class DownloadHost {
public:
    virtual ~DownloadHost() = default;

    // Timer 1 again; with `recovery`, timer 3 too. The worker's last act.
    virtual void resumeTimers(bool recovery) = 0;
    // Redraws the progress bar: the done part blue, the rest white.
    virtual void drawProgress(std::uint64_t jobBytesTotal, std::uint64_t jobBytesLeft) = 0;
    // Hides the progress bar and enables the download and clear buttons.
    virtual void restoreIdleControls() = 0;
    // The whole queue is written: the controls return to idle, and the window shows the blocks
    // as they are now.
    virtual void jobFinished() = 0;
    // A message box with an OK button.
    virtual void showMessage(const char* message) = 0;
    // The close path: the message, then the window is asked to close.
    virtual void fatalError(const char* message) = 0;
    // Both slots were closed: the panels and the record list show it.
    virtual void blocksChanged() = 0;
    // False once the window has closed: the worker then stops without touching it.
    virtual bool windowOpen() const = 0;
};

struct DownloadContext {
    CBlockPort& slotA;
    CBlockPort& slotB;
    RecordInfo* recordTable;
    DownloadJob& job;
    DownloadHost& host;
};

// The worker thread's procedure: moves the queued records into WAV files, pair of sectors by
// pair of sectors, and ends with the job complete, handed to recovery, or the program closing.
void downloadWorker(DownloadContext& context);

// The x pixel where the progress bar's blue part ends.
int progressBoundary(int left, int right, std::uint64_t jobBytesTotal, std::uint64_t jobBytesLeft);

}  // namespace kelvra
