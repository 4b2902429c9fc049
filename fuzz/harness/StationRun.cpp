#include "fuzz/harness/StationRun.h"

#include <chrono>
#include <filesystem>
#include <memory>

#include "fuzz/harness/ReplyStream.h"
#include "fuzz/harness/ScratchFolder.h"
#include "fuzz/harness/StationChecks.h"
#include "fuzz/harness/StationOptions.h"
#include "fuzz/harness/StreamSerialBackend.h"
#include "platform/dialog/WorkerThread.h"
#include "platform/headless/DialogDriver.h"
#include "resources/KelvraResources.h"
#include "tools/blocksim/VirtualClock.h"
#include "ui/MainDlg.h"

namespace kelvra::fuzz {

namespace {

using platform::headless::MessageBoxRecord;

// Bounds on one run: ticks in all, ticks in a row that read nothing before the run counts as
// settled, and ticks after the input is used up for a pending recovery to end (five tries of
// timer 3 take fifty).
constexpr int kMaxTicks = 4000;
constexpr int kQuietTicks = 12;
constexpr int kSettleTicks = 80;
constexpr int kRecoveryEvery = kRecoveryPeriodMs / kMonitorPeriodMs;

class Station {
public:
    explicit Station(std::span<const std::uint8_t> input)
        : options_(StationOptions::fromBytes(input.data())),
          replies_(input.subspan(StationOptions::kSize), clock_),
          backend_(replies_) {}

    Findings run();

private:
    bool windowOpen() const { return !driver_.hasEnded(*window_); }
    void tick();
    void tickInModal();
    void awaitWorkers();
    void act();
    void download();
    void jobMayHaveEnded();

    const StationOptions options_;
    ScratchFolder& folder_ = ScratchFolder::get();
    platform::headless::DialogDriver driver_;
    blocksim::VirtualClock clock_;
    ReplyStream replies_;
    StreamSerialBackend backend_;
    std::unique_ptr<CMainDlg> window_;
    Findings findings_;
    int ticks_ = 0;
    int listedTicks_ = 0;
    int downloads_ = 0;
    bool deleted_ = false;
    bool cleared_ = false;
    // The download button was pressed and what it started has not been checked yet.
    bool jobMayRun_ = false;
    int modalDepth_ = 0;
};

Findings Station::run() {
    const std::filesystem::path startDirectory = std::filesystem::current_path();
    folder_.empty();
    driver_.onFolderPicker([this](std::string_view) -> std::optional<std::string> {
        tickInModal();
        return folder_.path().string();
    });
    driver_.onMessageBox([this](const MessageBoxRecord& box) {
        tickInModal();
        return options_.cancelQuestions && box.buttons() == platform::MB_OKCANCEL
                   ? platform::IDCANCEL
                   : platform::IDOK;
    });
    platform::UseResources(kelvraResources());
    window_ = std::make_unique<CMainDlg>(backend_, clock_);
    driver_.open(*window_);

    int quiet = 0;
    for (int t = 0; t < kMaxTicks && windowOpen() && !replies_.usedUp() && quiet <= kQuietTicks;
         ++t) {
        const std::size_t before = replies_.consumed();
        tick();
        act();
        quiet = replies_.consumed() == before ? quiet + 1 : 0;
    }
    // From here on the line is silent, as if both blocks were unplugged.
    for (int t = 0; t < kSettleTicks && windowOpen() && window_->download().job().transferActive();
         ++t) {
        tick();
    }
    jobMayHaveEnded();
    checkEndState(*window_, driver_, findings_);
    driver_.finish(*window_);
    window_.reset();
    // The download changed into the folder; the fuzzer's own paths may be relative.
    std::filesystem::current_path(startDirectory);
    folder_.empty();
    return std::move(findings_);
}

void Station::tick() {
    if (!windowOpen()) {
        return;
    }
    ++ticks_;
    clock_.advance(kMonitorPeriodMs);
    driver_.fireTimer(*window_, kMonitorTimer);
    if (ticks_ % kRecoveryEvery == 0 && windowOpen()) {
        driver_.fireTimer(*window_, kRecoveryTimer);
    }
    awaitWorkers();
    jobMayHaveEnded();
}

void Station::tickInModal() {
    if (!options_.tickInModals || modalDepth_ > 0 || !window_ || !windowOpen()) {
        return;
    }
    ++modalDepth_;
    clock_.advance(kMonitorPeriodMs);
    driver_.fireTimer(*window_, kMonitorTimer);
    --modalDepth_;
}

void Station::awaitWorkers() {
    // Virtual time makes a download of a whole input take well under a second. The driver is
    // asked in short waits: one that misses a worker's end costs a millisecond, not fifty.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (platform::AfxRunningWorkerCount() > 0) {
        if (!driver_.pumpOnce(std::chrono::milliseconds(1)) &&
            std::chrono::steady_clock::now() > deadline) {
            abortRun("a download worker did not end");
        }
    }
    driver_.pump();
}

void Station::act() {
    if (!windowOpen() || window_->download().job().transferActive() ||
        driver_.topDialog() != window_.get() ||
        window_->GetListBox(IDC_RECORD_LIST).GetCount() == 0) {
        return;
    }
    ++listedTicks_;
    if (options_.deleteFirstLine && !deleted_) {
        deleted_ = true;
        driver_.doubleClickLine(*window_, IDC_RECORD_LIST, 0);
        return;
    }
    if (options_.clearMemory && !cleared_) {
        cleared_ = true;
        driver_.click(*window_, IDC_CLEAR_MEMORY);
        return;
    }
    const int allowed = options_.downloadAgain ? StationOptions::kMaxDownloads : 1;
    if (listedTicks_ > options_.waitTicks && downloads_ < allowed) {
        download();
    }
}

void Station::download() {
    ++downloads_;
    platform::CListBox list = window_->GetListBox(IDC_RECORD_LIST);
    list.SetSel(-1, false);
    for (int line = 0; line < list.GetCount(); ++line) {
        if (options_.selects(line)) {
            driver_.clickLine(*window_, IDC_RECORD_LIST, line);
        }
    }
    jobMayRun_ = driver_.click(*window_, IDC_READ_SELECTED);
    awaitWorkers();
    jobMayHaveEnded();
}

void Station::jobMayHaveEnded() {
    // A job that started has opened a file; once it no longer runs or waits, it has ended.
    if (!jobMayRun_ || window_->download().job().transferActive()) {
        return;
    }
    jobMayRun_ = false;
    if (folder_.fileNames().empty()) {
        return;
    }
    checkJobFiles(window_->download().job(), folder_, findings_);
    folder_.empty();
}

}  // namespace

Findings runStation(std::span<const std::uint8_t> input) {
    if (input.size() < StationOptions::kSize) {
        return {};
    }
    return Station(input).run();
}

}  // namespace kelvra::fuzz
