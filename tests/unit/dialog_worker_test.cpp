// Workers: their window calls are carried to the window's thread and wait there; closing the
// window while a worker runs neither deadlocks nor lets the worker outlive the window object.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/dialog/Framework.h"
#include "platform/dialog/backend/CallCarrier.h"
#include "platform/headless/DialogDriver.h"

namespace kelvra::platform {
namespace {

using headless::DialogDriver;

class MainWindow : public CDialog {
public:
    MainWindow() : CDialog(IDD_MAIN_DIALOG) {}

    std::atomic<int> step{0};
    int boxAnswer = 0;
    std::thread::id boxThread;
    std::atomic<bool> workerReturned{false};
    std::atomic<int> passes{0};
    bool lateTimerSet = true;
    std::string lateText = "unset";
};

// Ends a job as the download worker does: timers, controls, drawing, then a question.
unsigned finishingWorker(void* param) {
    auto* window = static_cast<MainWindow*>(param);
    window->SetTimer(1, 1000);
    window->step = 1;
    window->ShowItem(IDC_PROGRESS, false);
    window->EnableItem(IDC_READ_SELECTED, true);
    window->FillSolidRect(IDC_PROGRESS, {0, 0, 10, 9}, 0xFF0000);
    window->SetItemText(IDC_SERIAL_A, "S/N:   2018-042");
    window->step = 2;
    window->boxAnswer = AfxMessageBox("Вы уверены?", MB_OKCANCEL);
    window->step = 3;
    return 0;
}

TEST(DialogWorker, CarriedCallsRunOnTheWindowThreadWhenItPumps) {
    DialogDriver driver;
    MainWindow main;
    driver.open(main);
    main.ShowItem(IDC_PROGRESS, true);
    main.EnableItem(IDC_READ_SELECTED, false);
    std::thread::id windowThread = std::this_thread::get_id();
    driver.onMessageBox([&](const headless::MessageBoxRecord&) {
        main.boxThread = std::this_thread::get_id();
        return IDCANCEL;
    });

    ASSERT_TRUE(AfxBeginThread(finishingWorker, &main));
    // Nothing changes until the window's thread serves the worker.
    while (!driver.timerRunning(main, 1)) {
        ASSERT_TRUE(driver.pumpOnce());
    }
    EXPECT_EQ(AfxRunningWorkerCount(), 1);
    ASSERT_TRUE(driver.runUntilWorkersEnd());
    EXPECT_EQ(main.step, 3);
    EXPECT_FALSE(main.IsItemVisible(IDC_PROGRESS));
    EXPECT_TRUE(main.IsItemEnabled(IDC_READ_SELECTED));
    EXPECT_EQ(driver.pixel(main, IDC_PROGRESS, 9, 8), 0xFF0000u);
    EXPECT_EQ(driver.pixel(main, IDC_PROGRESS, 10, 0), 0xFFFFFFu);
    EXPECT_EQ(main.GetItemText(IDC_SERIAL_A), "S/N:   2018-042");
    EXPECT_EQ(main.boxAnswer, IDCANCEL);
    EXPECT_EQ(main.boxThread, windowThread);
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].buttons(), MB_OKCANCEL);
    driver.finish(main);
}

// A fatal error on the worker: message, then the close request, waiting for both.
unsigned failingWorker(void* param) {
    auto* window = static_cast<MainWindow*>(param);
    AfxMessageBox("Unable to create file");
    window->step = 1;
    window->SendCloseMessage();
    window->step = 2;
    window->workerReturned = true;
    return 0;
}

TEST(DialogWorker, CloseRequestFromAWorkerClosesTheWindowAsAUserWould) {
    DialogDriver driver;
    MainWindow main;
    driver.open(main);
    ASSERT_TRUE(AfxBeginThread(failingWorker, &main));
    ASSERT_TRUE(driver.pumpOnce());  // the message box
    ASSERT_TRUE(driver.pumpOnce());  // the close request
    EXPECT_TRUE(driver.hasEnded(main));
    EXPECT_EQ(driver.finish(main), IDCANCEL);
    EXPECT_TRUE(main.workerReturned);
    EXPECT_EQ(main.step, 2);
    EXPECT_EQ(AfxRunningWorkerCount(), 0);
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text, "Unable to create file");
}

// A download-like loop that draws until the window closes, then tries once more.
unsigned loopingWorker(void* param) {
    auto* window = static_cast<MainWindow*>(param);
    while (window->IsWindowOpen()) {
        window->FillSolidRect(IDC_PROGRESS, {0, 0, 1, 1}, 0xFF0000);
        ++window->passes;
    }
    window->lateTimerSet = window->SetTimer(1, 1000);
    window->lateText = window->GetItemText(IDC_READ_SELECTED);
    window->workerReturned = true;
    return 0;
}

TEST(DialogWorker, ClosingWhileAWorkerWaitsOnTheWindowNeitherDeadlocksNorLeavesItRunning) {
    DialogDriver driver;
    auto main = std::make_unique<MainWindow>();
    driver.open(*main);
    ASSERT_TRUE(AfxBeginThread(loopingWorker, main.get()));
    while (main->passes < 3) {
        ASSERT_TRUE(driver.pumpOnce());
    }
    // The worker is now blocked in a carried call that nobody will serve.
    EXPECT_TRUE(driver.closeBox(*main));
    EXPECT_EQ(driver.finish(*main), IDCANCEL);
    EXPECT_TRUE(main->workerReturned);
    EXPECT_EQ(AfxRunningWorkerCount(), 0);
    EXPECT_FALSE(main->lateTimerSet);
    EXPECT_EQ(main->lateText, "");
    main.reset();  // the window object may go now: no worker can touch it
}

TEST(DialogWorker, WindowsAreOnlyRunFromTheWindowThread) {
    DialogDriver driver;
    MainWindow main;
    driver.open(main);
    std::atomic<int> result{0};
    ASSERT_TRUE(AfxBeginThread(
        [](void* param) -> unsigned {
            MainWindow about;
            *static_cast<std::atomic<int>*>(param) = about.DoModal();
            return 0;
        },
        &result));
    ASSERT_TRUE(driver.runUntilWorkersEnd());
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(driver.modalRuns().empty());
    driver.finish(main);
}

TEST(DialogCallCarrier, ClosedCarrierRefusesAtOnceAndReleasesWaitingCalls) {
    CallCarrier carrier;
    int runs = 0;
    std::function<void()> call = [&] { ++runs; };
    EXPECT_FALSE(carrier.carry(call));

    carrier.open();
    std::atomic<bool> carried{true};
    std::thread worker([&] { carried = carrier.carry(call); });
    while (!carrier.waitForCall(std::chrono::milliseconds(100))) {
    }
    carrier.close();
    worker.join();
    EXPECT_FALSE(carried);
    EXPECT_EQ(carrier.servePending(), 0);
    EXPECT_EQ(runs, 0);

    carrier.open();
    std::thread second([&] { carried = carrier.carry(call); });
    while (carrier.servePending() == 0) {
        carrier.waitForCall(std::chrono::milliseconds(100));
    }
    second.join();
    EXPECT_TRUE(carried);
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace kelvra::platform
