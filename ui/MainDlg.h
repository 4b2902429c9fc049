#pragma once

#include <array>
#include <atomic>

#include "download/DownloadSession.h"
#include "link/BlockPort.h"
#include "link/LinkMonitor.h"
#include "platform/clock/Clock.h"
#include "platform/dialog/Framework.h"
#include "platform/serial/SerialPort.h"
#include "records/RecordInfo.h"
#include "resources/ResourceIds.h"

namespace kelvra {

inline constexpr unsigned kMonitorTimer = 1;
inline constexpr unsigned kMonitorPeriodMs = 1000;
inline constexpr unsigned kRecoveryTimer = 3;
inline constexpr unsigned kRecoveryPeriodMs = 10000;

// The main window. It owns the whole station: both block ports, the record table and the
// download session, and routes every tick and user action to the code that handles it.
class CMainDlg : public platform::CDialog, private LinkMonitorHost, private DownloadSessionHost {
public:
    CMainDlg(platform::SerialBackend& serialBackend, platform::Clock& clock);
    ~CMainDlg() override;

    // Refreshes the four block panel labels from slots A and B.
    void showBlockStatus();
    // Reads both blocks' directories into the record table and the record list.
    void RefreshRecordList();

    // Station state, read by tests and by the dialogs this window opens.
    CBlockPort slotA;
    CBlockPort slotB;
    std::array<RecordInfo, kRecordRows> recordTable{};
    const DownloadSession& download() const { return download_; }
    const LinkMonitor& linkMonitor() const { return monitor_; }

protected:
    bool OnInitDialog() override;
    const platform::MessageMap& GetMessageMap() const override;

private:
    void OnSysCommand(unsigned command);
    void OnPaint();
    platform::IconHandle OnQueryDragIcon();
    void OnTimer(unsigned timerId);
    void OnClearMemory();
    void OnReadSelected();
    void OnRecordListDblClk();
    void OnSerialADblClk();
    void OnSerialBDblClk();

    void openFactorySetup(CBlockPort& block);
    static unsigned workerEntry(void* session);

    // LinkMonitorHost
    bool recoveryPending() const override;
    void blocksChanged() override;
    void fatalLinkError(const char* message) override;
    bool closing() const override;

    // DownloadHost
    void resumeTimers(bool recovery) override;
    void drawProgress(std::uint64_t jobBytesTotal, std::uint64_t jobBytesLeft) override;
    void restoreIdleControls() override;
    void jobFinished() override;
    void showMessage(const char* message) override;
    void fatalError(const char* message) override;
    bool windowOpen() const override;

    // DownloadSessionHost
    bool startThread(DownloadSession& session) override;
    void stopRecoveryTicks() override;
    void stopMonitorTicks() override;

    platform::IconHandle icon_ = nullptr;
    LinkMonitor monitor_;
    DownloadSession download_;
    // Set once a fatal error has asked the window to close: no tick runs after it.
    std::atomic<bool> closing_{false};
    // Rows of the record table that the list shows.
    int rowCount_ = 0;
    // Placements counted when the job started: a job that ends after more shows the blocks anew.
    unsigned slotChangesAtJobStart_ = 0;
};

}  // namespace kelvra
