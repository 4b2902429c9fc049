#include "ui/MainDlg.h"

#include <cstdio>

#include "download/ContentSample.h"
#include "download/DownloadQueue.h"
#include "link/LinkExchanges.h"
#include "link/Messages.h"
#include "platform/file/FilePath.h"
#include "records/RecordListLine.h"
#include "records/RecordTableRead.h"
#include "ui/AboutDlg.h"
#include "ui/ParamSet.h"

namespace kelvra {

using namespace platform;

namespace {

constexpr COLORREF kProgressDone = 0xFF0000;  // blue in the 0x00BBGGRR layout
constexpr COLORREF kProgressToDo = 0xFFFFFF;

void describeSlot(CMainDlg& window, const CBlockPort& block, int serialLabel, int firmwareLabel) {
    if (!block.present) {
        window.SetItemText(serialLabel, "");
        window.SetItemText(firmwareLabel, "");
        return;
    }
    char serial[32];
    char firmware[48];
    std::snprintf(serial, sizeof serial, "S/N:   %4d-%03d", block.serialYear + 2000,
                  block.serialNumber);
    std::snprintf(firmware, sizeof firmware, "Прошивка: %2d.%1d", block.firmware / 10,
                  block.firmware % 10);
    window.SetItemText(serialLabel, serial);
    window.SetItemText(firmwareLabel, firmware);
}

}  // namespace

CMainDlg::CMainDlg(SerialBackend& serialBackend, Clock& clock)
    : CDialog(IDD_MAIN_DIALOG),
      icon_(LoadIconResource(IDR_MAINFRAME)),
      monitor_(slotA, slotB, serialBackend, clock, *this),
      download_(slotA, slotB, recordTable.data(), *this) {}

CMainDlg::~CMainDlg() = default;

const MessageMap& CMainDlg::GetMessageMap() const {
    static constexpr MessageMapEntry kEntries[] = {
        onSysCommand<&CMainDlg::OnSysCommand>(),
        onPaint<&CMainDlg::OnPaint>(),
        onQueryDragIcon<&CMainDlg::OnQueryDragIcon>(),
        onTimer<&CMainDlg::OnTimer>(),
        onBnClicked<&CMainDlg::OnClearMemory>(IDC_CLEAR_MEMORY),
        onStnDblClk<&CMainDlg::OnSerialADblClk>(IDC_SERIAL_A),
        onBnClicked<&CMainDlg::OnReadSelected>(IDC_READ_SELECTED),
        onStnDblClk<&CMainDlg::OnSerialBDblClk>(IDC_SERIAL_B),
        onLbnDblClk<&CMainDlg::OnRecordListDblClk>(IDC_RECORD_LIST),
    };
    static constexpr MessageMap kMap{kEntries};
    return kMap;
}

bool CMainDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (HasSystemMenu()) {
        const std::string aboutItem = LoadStringResource(IDS_ABOUTBOX);
        if (!aboutItem.empty()) {
            AppendSystemMenu(MF_SEPARATOR);
            AppendSystemMenu(MF_STRING, IDM_ABOUTBOX, aboutItem);
        }
    }
    SetIcon(icon_, true);
    SetIcon(icon_, false);
    SetTimer(kMonitorTimer, kMonitorPeriodMs);
    return true;
}

void CMainDlg::OnSysCommand(unsigned command) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    CDialog::OnSysCommand(command);
}

void CMainDlg::OnPaint() {
    if (IsIconic()) {
        PaintIconic(icon_);
        return;
    }
    CDialog::OnPaint();
}

IconHandle CMainDlg::OnQueryDragIcon() {
    return icon_;
}

void CMainDlg::OnTimer(unsigned timerId) {
    // A fatal message is on screen and the window is about to close: nothing more is sent.
    if (closing_) {
        return;
    }
    if (timerId == kMonitorTimer) {
        monitor_.tick();
    } else if (timerId == kRecoveryTimer) {
        download_.recoveryTick();
    }
    if (!closing_) {
        CDialog::OnTimer(timerId);
    }
}

void CMainDlg::showBlockStatus() {
    describeSlot(*this, slotA, IDC_SERIAL_A, IDC_FIRMWARE_A);
    describeSlot(*this, slotB, IDC_SERIAL_B, IDC_FIRMWARE_B);
}

void CMainDlg::RefreshRecordList() {
    CListBox list = GetListBox(IDC_RECORD_LIST);
    list.ResetContent();
    list.SetTabStops(kRecordListTabStop);

    rowCount_ = 0;
    const RecordTableRead read = readRecordTable(slotA, slotB);
    if (read.failure != nullptr) {
        fatalLinkError(read.failure);
        return;
    }
    const RecordTableBuilder& table = read.table;
    const int rows = table.rowCount() < kRecordRows ? table.rowCount() : kRecordRows;
    rowCount_ = rows;
    for (int i = 0; i < rows; ++i) {
        recordTable[static_cast<std::size_t>(i)] = table.row(i);
        list.InsertString(i, recordListLine(table.row(i)));
    }
    if (table.rowCount() > kRecordRows) {
        AfxMessageBox(messages::kTooManyRecordsListed);
    }
}

void CMainDlg::OnClearMemory() {
    // The box let timer 1 run: a fatal message may have asked the window to close meanwhile.
    if (AfxMessageBox(messages::kAreYouSure, MB_OKCANCEL) != IDOK || closing_ ||
        download_.transferActive()) {
        return;
    }
    bool lastWritten = true;
    if (slotA.present) {
        lastWritten = sendClearMemory(*slotA.handle);
    }
    if (slotB.present && lastWritten) {
        lastWritten = sendClearMemory(*slotB.handle);
    }
    if (!lastWritten) {
        fatalLinkError(messages::kUnableToWritePort);
        return;
    }
    for (CBlockPort* block : {&slotA, &slotB}) {
        if (block->present && !awaitClearMemoryAck(*block->handle)) {
            fatalLinkError(messages::kNoAcknowledge);
            return;
        }
    }
    RefreshRecordList();
}

void CMainDlg::OnRecordListDblClk() {
    // The worker owns the ports and reads the table while a download runs or waits.
    if (download_.transferActive()) {
        return;
    }
    CListBox list = GetListBox(IDC_RECORD_LIST);
    const int line = list.GetCaretIndex();
    if (line < 0 || line >= list.GetCount()) {
        return;
    }
    const RecordInfo row = recordTable[static_cast<std::size_t>(line)];
    if (row.recordNo != 1 || !slotA.present || !slotB.present) {
        return;
    }
    const unsigned changesBefore = monitor_.slotChanges();
    if (AfxMessageBox(messages::kDeleteQuestion, MB_OKCANCEL) != IDOK || closing_) {
        return;
    }
    // Timer 1 ran while the question was open; if it placed or lost a block, the line the
    // user confirmed may no longer name these entries.
    if (monitor_.slotChanges() == changesBefore) {
        if (row.addrA != kNoCopy) {
            deleteEntry(*slotA.handle, static_cast<std::uint8_t>(row.addrA & 0xFF));
        }
        if (row.addrB != kNoCopy) {
            deleteEntry(*slotB.handle, static_cast<std::uint8_t>(row.addrB & 0xFF));
        }
    }
    RefreshRecordList();
}

void CMainDlg::OnSerialADblClk() {
    openFactorySetup(slotA);
}

void CMainDlg::OnSerialBDblClk() {
    openFactorySetup(slotB);
}

void CMainDlg::openFactorySetup(CBlockPort& block) {
    // During a transfer the worker owns the ports and writes the slots: not even read them.
    if (download_.transferActive() || !block.present || !block.serviceFlag) {
        return;
    }
    const unsigned lentAt = monitor_.slotChanges(block);
    CParamSet dialog([this, &block, lentAt]() -> SerialPort* {
        // The port is lent only while the block that was greeted stays in its slot; the other
        // slot may fill or empty meanwhile.
        if (!block.present || monitor_.slotChanges(block) != lentAt) {
            return nullptr;
        }
        return block.handle.get();
    });
    dialog.DoModal();
    if (!closing_) {
        RefreshRecordList();
    }
}

void CMainDlg::OnReadSelected() {
    if ((!slotA.present && !slotB.present) || download_.transferActive()) {
        return;
    }
    CListBox list = GetListBox(IDC_RECORD_LIST);
    const int selected = list.GetSelCount();
    if (selected <= 0) {
        return;
    }
    if (selected > kQueueCapacity) {
        AfxMessageBox(messages::kTooManyRecordsSelected);
        return;
    }
    const auto folder = BrowseForFolder(messages::kChooseFolder);
    if (!folder) {
        return;
    }
    // The picker let timer 1 run: the selection is read again now, in one piece, and the
    // job is built from exactly the lines read.
    int lines[kRecordRows];
    const int count = list.GetSelItems(kRecordRows, lines);
    if (count <= 0 || count > kQueueCapacity || (!slotA.present && !slotB.present) || closing_) {
        return;
    }
    const QueuedLines queued = download_.queueLines(lines, count, rowCount_);
    if (!queued.tooLong.empty()) {
        const unsigned changesBefore = monitor_.slotChanges();
        AfxMessageBox(tooLongMessage(queued.tooLong).c_str());
        // The box let timer 1 run: the blocks the queue was built for may be gone.
        if (closing_ || monitor_.slotChanges() != changesBefore) {
            return;
        }
    }
    // Told before the job starts: a folder on a FAT stick would fail hours into the record.
    if (const std::vector<DownloadItem> tooLarge = download_.refuseFilesTooLargeFor(*folder);
        !tooLarge.empty()) {
        const unsigned changesBefore = monitor_.slotChanges();
        AfxMessageBox(refusedFilesMessage(tooLarge).c_str());
        if (closing_ || monitor_.slotChanges() != changesBefore) {
            return;
        }
    }
    if (download_.job().queueLength == 0) {
        return;
    }
    // The next picker opens where this one ended; the files themselves go by full path.
    ChangeCurrentDirectory(*folder);
    KillTimer(kMonitorTimer);
    slotChangesAtJobStart_ = monitor_.slotChanges();

    ShowItem(IDC_PROGRESS, true);
    // A disabled control keeps no focus: without this the keyboard would reach nothing.
    if (GetFocusedItem() == IDC_READ_SELECTED || GetFocusedItem() == IDC_CLEAR_MEMORY) {
        SetItemFocus(IDC_RECORD_LIST);
    }
    EnableItem(IDC_READ_SELECTED, false);
    EnableItem(IDC_CLEAR_MEMORY, false);
    // A file the manifest gives to a record is replaced only once the blocks' samples are found
    // in it: blocks cleared and recording again can list the same directory as before.
    const std::string folderPath = *folder;
    download_.placeFiles(folderPath, false, [&](const DownloadItem& item, const std::string& file) {
        return compareContent(slotA, slotB, item, platform::pathInFolder(folderPath, file), false);
    });
    download_.start();
}

bool CMainDlg::startThread(DownloadSession& session) {
    return AfxBeginThread(&CMainDlg::workerEntry, &session);
}

unsigned CMainDlg::workerEntry(void* session) {
    static_cast<DownloadSession*>(session)->runWorker();
    return 0;
}

void CMainDlg::stopRecoveryTicks() {
    KillTimer(kRecoveryTimer);
}

void CMainDlg::stopMonitorTicks() {
    KillTimer(kMonitorTimer);
}

bool CMainDlg::recoveryPending() const {
    return download_.recoveryPending();
}

void CMainDlg::blocksChanged() {
    showBlockStatus();
    RefreshRecordList();
}

void CMainDlg::fatalLinkError(const char* message) {
    closing_ = true;
    AfxMessageBox(message, MB_OK);
    SendCloseMessage();
}

bool CMainDlg::closing() const {
    return closing_;
}

void CMainDlg::resumeTimers(bool recovery) {
    SetTimer(kMonitorTimer, kMonitorPeriodMs);
    if (recovery) {
        SetTimer(kRecoveryTimer, kRecoveryPeriodMs);
    }
}

void CMainDlg::drawProgress(std::uint64_t jobBytesTotal, std::uint64_t jobBytesLeft) {
    const CRect area = GetItemClientRect(IDC_PROGRESS);
    const int boundary = progressBoundary(area.left, area.right, jobBytesTotal, jobBytesLeft);
    FillSolidRect(IDC_PROGRESS, CRect{area.left, area.top, boundary, area.bottom}, kProgressDone);
    FillSolidRect(IDC_PROGRESS, CRect{boundary, area.top, area.right, area.bottom}, kProgressToDo);
}

void CMainDlg::restoreIdleControls() {
    ShowItem(IDC_PROGRESS, false);
    EnableItem(IDC_READ_SELECTED, true);
    EnableItem(IDC_CLEAR_MEMORY, true);
}

void CMainDlg::jobFinished() {
    restoreIdleControls();
    // Blocks placed while the job ran (found again in recovery, perhaps in exchanged slots)
    // were not shown then: the panels and the list still show the blocks as they were.
    if (monitor_.slotChanges() != slotChangesAtJobStart_) {
        blocksChanged();
    }
    // The job went on past a file whose manifest line was not written: the user hears of the
    // first, since the next download will not know that file as complete.
    const DownloadJob& job = download_.job();
    for (int i = 0; i < job.queueLength; ++i) {
        const DownloadItem& item = job.downloadQueue[static_cast<std::size_t>(i)];
        if (!item.warning.empty()) {
            showMessage((item.fileName + " written, but " + item.warning).c_str());
            break;
        }
    }
}

void CMainDlg::showMessage(const char* message) {
    AfxMessageBox(message, MB_OK);
}

void CMainDlg::fatalError(const char* message) {
    fatalLinkError(message);
}

bool CMainDlg::windowOpen() const {
    return IsWindowOpen();
}

}  // namespace kelvra
