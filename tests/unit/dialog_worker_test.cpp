// Workers: their window calls are carried to the window's thread and wait there; closing the
// window while a worker runs neither deadlocks nor lets the worker outlive the window object.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/dialog/Framework.h"
#include "platform/dialog/backend/CallCarrier.h"
#include "platform/headless/DialogDriver.h"
#include "tests/support/FrameworkTemplates.h"

namespace kelvra::platform {
namespace {

using headless::DialogDriver;
using namespace kelvra::test;

class Form : public CDialog {
public:
    Form() : CDialog(IDD_FORM) {}

    std::atomic<int> step{0};
    int boxAnswer = 0;
    std::thread::id boxThread;
    std::atomic<bool> workerReturned{false};
    std::atomic<int> passes{0};
    bool lateTimerSet = true;
    std::string lateText = "unset";
};

class DialogWorker : public FrameworkTest {};

// Ends a long job: timers, controls, drawing, then a question.
unsigned finishingWorker(void* param) {
    auto* window = static_cast<Form*>(param);
    window->SetTimer(1, 1000);
    window->step = 1;
    window->ShowItem(IDC_BAR, false);
    window->EnableItem(IDC_START, true);
    window->FillSolidRect(IDC_BAR, {0, 0, 10, 9}, 0xFF0000);
    window->SetItemText(IDC_NAME_A, "Имя:   проба-042");
    window->step = 2;
    window->boxAnswer = AfxMessageBox("Вы уверены?", MB_OKCANCEL);
    window->step = 3;
    return 0;
}

TEST_F(DialogWorker, CarriedCallsRunOnTheWindowThreadWhenItPumps) {
    DialogDriver driver;
    Form form;
    driver.open(form);
    form.ShowItem(IDC_BAR, true);
    form.EnableItem(IDC_START, false);
    std::thread::id windowThread = std::this_thread::get_id();
    driver.onMessageBox([&](const headless::MessageBoxRecord&) {
        form.boxThread = std::this_thread::get_id();
        return IDCANCEL;
    });

    ASSERT_TRUE(AfxBeginThread(finishingWorker, &form));
    // Nothing changes until the window's thread serves the worker.
    while (!driver.timerRunning(form, 1)) {
        ASSERT_TRUE(driver.pumpOnce());
    }
    EXPECT_EQ(AfxRunningWorkerCount(), 1);
    ASSERT_TRUE(driver.runUntilWorkersEnd());
    EXPECT_EQ(form.step, 3);
    EXPECT_FALSE(form.IsItemVisible(IDC_BAR));
    EXPECT_TRUE(form.IsItemEnabled(IDC_START));
    EXPECT_EQ(driver.pixel(form, IDC_BAR, 9, 8), 0xFF0000u);
    EXPECT_EQ(driver.pixel(form, IDC_BAR, 10, 0), 0xFFFFFFu);
    EXPECT_EQ(form.GetItemText(IDC_NAME_A), "Имя:   проба-042");
    EXPECT_EQ(form.boxAnswer, IDCANCEL);
    EXPECT_EQ(form.boxThread, windowThread);
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].buttons(), MB_OKCANCEL);
    driver.finish(form);
}

// A fatal error on the worker: message, then the close request, waiting for both.
unsigned failingWorker(void* param) {
    auto* window = static_cast<Form*>(param);
    AfxMessageBox("Unable to create file");
    window->step = 1;
    window->SendCloseMessage();
    window->step = 2;
    window->workerReturned = true;
    return 0;
}

TEST_F(DialogWorker, CloseRequestFromAWorkerClosesTheWindowAsAUserWould) {
    DialogDriver driver;
    Form form;
    driver.open(form);
    ASSERT_TRUE(AfxBeginThread(failingWorker, &form));
    ASSERT_TRUE(driver.pumpOnce());  // the message box
    ASSERT_TRUE(driver.pumpOnce());  // the close request
    EXPECT_TRUE(driver.hasEnded(form));
    EXPECT_EQ(driver.finish(form), IDCANCEL);
    EXPECT_TRUE(form.workerReturned);
    EXPECT_EQ(form.step, 2);
    EXPECT_EQ(AfxRunningWorkerCount(), 0);
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text, "Unable to create file");
}

// A loop that draws until the window closes, then tries once more.
unsigned loopingWorker(void* param) {
    auto* window = static_cast<Form*>(param);
    while (window->IsWindowOpen()) {
        window->FillSolidRect(IDC_BAR, {0, 0, 1, 1}, 0xFF0000);
        ++window->passes;
    }
    window->lateTimerSet = window->SetTimer(1, 1000);
    window->lateText = window->GetItemText(IDC_START);
    window->workerReturned = true;
    return 0;
}

TEST_F(DialogWorker, ClosingWhileAWorkerWaitsOnTheWindowNeitherDeadlocksNorLeavesItRunning) {
    DialogDriver driver;
    auto form = std::make_unique<Form>();
    driver.open(*form);
    ASSERT_TRUE(AfxBeginThread(loopingWorker, form.get()));
    while (form->passes < 3) {
        ASSERT_TRUE(driver.pumpOnce());
    }
    // The worker is now blocked in a carried call that nobody will serve.
    EXPECT_TRUE(driver.closeBox(*form));
    EXPECT_EQ(driver.finish(*form), IDCANCEL);
    EXPECT_TRUE(form->workerReturned);
    EXPECT_EQ(AfxRunningWorkerCount(), 0);
    EXPECT_FALSE(form->lateTimerSet);
    EXPECT_EQ(form->lateText, "");
    form.reset();  // the window object may go now: no worker can touch it
}

TEST_F(DialogWorker, WindowsAreOnlyRunFromTheWindowThread) {
    DialogDriver driver;
    Form form;
    driver.open(form);
    std::atomic<int> result{0};
    ASSERT_TRUE(AfxBeginThread(
        [](void* param) -> unsigned {
            Form other;
            *static_cast<std::atomic<int>*>(param) = other.DoModal();
            return 0;
        },
        &result));
    ASSERT_TRUE(driver.runUntilWorkersEnd());
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(driver.modalRuns().empty());
    driver.finish(form);
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
