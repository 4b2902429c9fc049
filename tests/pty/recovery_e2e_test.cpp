#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/ExpectedWav.h"
#include "tests/support/PtyDownloadTest.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;

const char* const kFirstRecord = "5 Марта 18г 14-07-09 Запись 1.wav";
const char* const kSecondRecord = "5 Марта 18г 14-07-09 Запись 2.wav";

std::string com(int number) {
    return "COM" + std::to_string(number);
}

// Blocks taken off the line in the middle of a download and plugged in again; each file must
// come out as an uninterrupted download would have written it.
class RecoveryE2e : public PtyDownloadTest {
protected:
    RecoveryE2e() : PtyDownloadTest(KELVRA_BLOCKSIM_PATH) {}

    // Both blocks hold one entry of two records (5 on A, 9 on B) of `rate` x `seconds`.
    void startTwoRecords(int firmwareA, int firmwareB, std::uint16_t rate, std::uint16_t seconds) {
        start(firmwareA, {pairEntry(5, 2, true, 7, rate, seconds)}, firmwareB,
              {pairEntry(9, 2, false, 7, rate, seconds)});
    }

    // The block on `comNumber` disappears once it has sent `sectors` more record sectors, and
    // comes back `awayMs` later (in the other slot with `swap`).
    void unplugAfter(int comNumber, int sectors, int awayMs, bool swap = false) {
        const std::string command = "unplug-after " + com(comNumber) + " " +
                                    std::to_string(sectors) + " " + std::to_string(awayMs) +
                                    (swap ? " swap" : "");
        ASSERT_TRUE(station->simulator().command(command)) << command;
    }

    // The worker has handed the job to recovery: both ports closed, timers 1 and 3 running.
    void expectInterrupted() {
        CMainDlg& window = station->window();
        ASSERT_TRUE(window.download().job().recoveryPending) << "the transfer did not fail";
        EXPECT_FALSE(window.slotA.present);
        EXPECT_FALSE(window.slotB.present);
        EXPECT_TRUE(station->driver().timerRunning(window, kMonitorTimer));
        EXPECT_TRUE(station->driver().timerRunning(window, kRecoveryTimer));
        EXPECT_FALSE(window.IsItemEnabled(IDC_READ_SELECTED));
    }

    // Waits until the block on `comNumber` is back; with `tickWhileAway`, timer 1 ticks once
    // while it is still away (the other block may be found then).
    void awaitReturn(int comNumber, bool tickWhileAway = true) {
        expectInterrupted();
        linesAtFailure_ = station->listLines();
        ASSERT_TRUE(station->simulator().waitForLine("UNPLUGGED " + com(comNumber), 10s));
        if (tickWhileAway) {
            ASSERT_TRUE(station->driver().fireTimer(station->window(), kMonitorTimer));
        }
        ASSERT_TRUE(station->simulator().waitForLine("PLUGGED " + com(comNumber), 30s))
            << "the block did not come back";
    }

    // Timer 1 places both blocks again, then timer 3 starts the new worker, which runs until
    // the job ends or fails again.
    void resume() {
        ASSERT_TRUE(station->tickUntilBothPlacedAgain()) << "the blocks were not found again";
        EXPECT_EQ(station->listLines(), linesAtFailure_) << "the list was refreshed in recovery";
        ASSERT_TRUE(station->driver().fireTimer(station->window(), kRecoveryTimer));
        EXPECT_FALSE(station->driver().timerRunning(station->window(), kRecoveryTimer));
        ASSERT_TRUE(station->runWorker(300s)) << "the resumed worker did not end in time";
    }

    void expectBothRecordsWhole() {
        expectFiles({{kFirstRecord, {setupA(), 5}, {setupB(), 9}, 0},
                     {kSecondRecord, {setupA(), 5}, {setupB(), 9}, 1}});
    }

private:
    std::vector<std::string> linesAtFailure_;
};

// Batch blocks: 16000 x 3 s records of 188 sectors, read in batches of 20.

TEST_F(RecoveryE2e, BatchBlockBLostMidBatchAfterBlockASectorOfThePair) {
    startTwoRecords(60, 60, 16000, 3);
    unplugAfter(kPairComB, 30, 1500);  // ten sectors into block B's second batch
    downloadAllLines(2, 60s);
    awaitReturn(kPairComB);
    resume();
    EXPECT_EQ(station->window().download().job().retryCount, 0) << "reads past the loss forget it";
    expectBothRecordsWhole();
    expectIdleWithBothBlocks();
}

TEST_F(RecoveryE2e, BatchBlockALostMidBatchInTheSecondRecord) {
    startTwoRecords(60, 60, 16000, 3);
    unplugAfter(kPairComA, 188 + 47, 700);
    downloadAllLines(2, 60s);
    awaitReturn(kPairComA);
    resume();
    expectBothRecordsWhole();
    expectIdleWithBothBlocks();
}

TEST_F(RecoveryE2e, BlocksBackInExchangedSlotsKeepTheirChannels) {
    startTwoRecords(60, 60, 16000, 3);
    unplugAfter(kPairComB, 50, 1000, true);
    downloadAllLines(2, 60s);
    // No tick while block B is away: block A would be placed in slot A before it changes role.
    awaitReturn(kPairComB, false);
    resume();
    EXPECT_EQ(station->window().slotA.serialNumber, 43) << "block B now sits in slot A";
    EXPECT_EQ(station->window().slotB.serialNumber, 42);
    expectBothRecordsWhole();
    expectIdleWithBothBlocks();
}

TEST_F(RecoveryE2e, BatchBlocksLostAtTheLastPairAndBetweenRecords) {
    startTwoRecords(60, 60, 16000, 3);
    unplugAfter(kPairComB, 187, 500);  // block B's last sector of the first record never comes
    downloadAllLines(2, 60s);
    awaitReturn(kPairComB);
    unplugAfter(kPairComA, 1, 500);  // block A ends the first record, then is gone
    resume();
    awaitReturn(kPairComA);
    resume();
    EXPECT_EQ(station->window().download().job().retryCount, 0) << "each loss was mended";
    expectBothRecordsWhole();
    expectIdleWithBothBlocks();
}

TEST_F(RecoveryE2e, BothBlocksLostAtOnce) {
    startTwoRecords(60, 60, 16000, 3);
    unplugAfter(kPairComA, 50, 500);
    unplugAfter(kPairComB, 50, 900);
    downloadAllLines(2, 60s);
    awaitReturn(kPairComA, false);
    awaitReturn(kPairComB);
    resume();
    expectBothRecordsWhole();
    expectIdleWithBothBlocks();
}

TEST_F(RecoveryE2e, BlocksOfDifferentModesBackInExchangedSlots) {
    // Block A sends batches, block B streams; back in exchanged slots, each must still be read
    // in its own mode: the basic-stream block restarts the record.
    startTwoRecords(60, 70, 8000, 3);
    unplugAfter(kPairComB, 40, 300, true);
    downloadAllLines(2, 60s);
    awaitReturn(kPairComB, false);
    resume();
    EXPECT_EQ(station->window().slotA.firmware, 70);
    EXPECT_FALSE(station->window().slotA.addressedReads) << "slot A kept block A's modes";
    EXPECT_FALSE(station->window().slotA.batchReads) << "slot A kept block A's modes";
    expectBothRecordsWhole();
    expectIdleWithBothBlocks();
}

TEST_F(RecoveryE2e, SingleSectorBlocksLostOneAfterTheOther) {
    // 120 s records of 10000 sectors; one record, which survives a loss of each block.
    start(31, {pairEntry(5, 1, true, 7, 8000, 1)}, 31, {pairEntry(9, 1, false, 7, 8000, 1)});
    unplugAfter(kPairComA, 2500, 400);
    downloadAllLines(1, 300s);
    awaitReturn(kPairComA);
    unplugAfter(kPairComB, 3000, 800);  // counted from where block B resumes
    resume();
    awaitReturn(kPairComB);
    resume();
    EXPECT_EQ(station->window().download().job().retryCount, 0) << "reads past each loss forget it";
    expectFiles({{kFirstRecord, {setupA(), 5}, {setupB(), 9}, 0}});
    expectIdleWithBothBlocks();
}

TEST_F(RecoveryE2e, BasicStreamBlocksLostOneAfterTheOtherRestartTheirRecord) {
    // 8000 x 3 s records of 94 sectors: block B is lost in the first record, block A in the
    // second; each time the record is written again from its start.
    startTwoRecords(70, 70, 8000, 3);
    unplugAfter(kPairComB, 40, 600);
    downloadAllLines(2, 60s);
    awaitReturn(kPairComB);
    unplugAfter(kPairComA, 94 + 36, 300);  // the first record again, then into the second
    resume();
    awaitReturn(kPairComA);
    resume();
    EXPECT_EQ(station->window().download().job().retryCount, 0) << "the second record began afresh";
    expectBothRecordsWhole();
    expectIdleWithBothBlocks();
}

TEST_F(RecoveryE2e, ABlockThatStaysAwayEndsTheJobAndLeavesThePartialFile) {
    startTwoRecords(60, 60, 16000, 3);
    unplugAfter(kPairComB, 100, 3600000);
    downloadAllLines(2, 60s);
    expectInterrupted();
    ASSERT_TRUE(station->simulator().waitForLine("UNPLUGGED " + com(kPairComB), 10s));
    CMainDlg& window = station->window();
    platform::headless::DialogDriver& driver = station->driver();
    ASSERT_TRUE(station->tickUntil([&] { return window.slotA.present; }));
    for (int tries = 2; tries <= 5; ++tries) {
        ASSERT_TRUE(driver.fireTimer(window, kRecoveryTimer));
        EXPECT_EQ(window.download().job().retryCount, tries);
        EXPECT_TRUE(driver.messageBoxes().empty());
    }
    ASSERT_TRUE(driver.fireTimer(window, kRecoveryTimer));
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text, "Unable to read communication port");
    EXPECT_FALSE(window.download().job().recoveryPending);
    EXPECT_FALSE(driver.timerRunning(window, kRecoveryTimer));
    EXPECT_TRUE(window.IsItemEnabled(IDC_READ_SELECTED));
    EXPECT_FALSE(window.IsItemVisible(IDC_PROGRESS));

    // The record in progress keeps its header, which counts the whole record, and the pairs
    // written before the loss, under a name that says it is partial, beside the file that
    // says which record it holds; the second record was never begun.
    const std::string partialName = std::string(kFirstRecord) + ".part";
    EXPECT_EQ(folder.fileNames(), (std::vector<std::string>{partialName, partialName + ".json"}));
    const auto partial = readFileBytes(folder.path() / partialName);
    const auto whole = expectedWavFile({setupA(), 5}, {setupB(), 9}, 0);
    ASSERT_GT(partial.size(), 76u);
    EXPECT_EQ((partial.size() - 76) % 1024, 0u);
    ASSERT_LT(partial.size(), whole.size());
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), whole.begin()));

    ASSERT_TRUE(driver.fireTimer(window, kMonitorTimer));
    EXPECT_TRUE(window.slotA.present);
    EXPECT_EQ(station->listLines().size(), 2u) << "block A's records listed again";
}

}  // namespace
}  // namespace kelvra::test
