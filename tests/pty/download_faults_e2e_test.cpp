#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "download/DownloadQueue.h"
#include "download/WavFormat.h"
#include "tests/support/PtyDownloadTest.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;

const char* const kFirstRecord = "5 Марта 18г 14-07-09 Запись 1.wav";
const char* const kSecondRecord = "5 Марта 18г 14-07-09 Запись 2.wav";

// A noisy line and hostile folders, with the real simulator on pseudo-terminals.
class DownloadFaultsE2e : public PtyDownloadTest {
protected:
    DownloadFaultsE2e() : PtyDownloadTest(KELVRA_BLOCKSIM_PATH) {}

    // Batch blocks with two records of 16000 x 3 s: 188 sectors each, batches of 20.
    void startBatchPair() {
        start(60, {pairEntry(5, 2, true, 7, 16000, 3)}, 60, {pairEntry(9, 2, false, 7, 16000, 3)});
    }

    void lineFault(const std::string& command) {
        ASSERT_TRUE(station->simulator().command("line " + command)) << command;
    }

    // The job was handed to recovery; timer 1 finds the blocks again on their ports and
    // timer 3 resumes it.
    void recoverOnce() {
        CMainDlg& window = station->window();
        ASSERT_TRUE(window.download().job().recoveryPending) << "the spoiled batch was not noticed";
        ASSERT_TRUE(station->tickUntilBothPlacedAgain()) << "the blocks were not found again";
        ASSERT_TRUE(station->driver().fireTimer(window, kRecoveryTimer));
        ASSERT_TRUE(station->runWorker(120s)) << "the resumed worker did not end in time";
    }

    void expectBothRecordsWhole() {
        expectFiles({{kFirstRecord, {setupA(), 5}, {setupB(), 9}, 0},
                     {kSecondRecord, {setupA(), 5}, {setupB(), 9}, 1}});
    }
};

TEST_F(DownloadFaultsE2e, AByteLostInsideABatchIsReadAgainFromTheBatchStart) {
    blocksim::Scenario blocks = pairScenario(60, {pairEntry(5, 2, true, 7, 16000, 3)}, 60,
                                             {pairEntry(9, 2, false, 7, 16000, 3)});
    blocksim::LineFault drop;
    drop.afterSectors = 45;
    drop.offset = 100;
    blocks.blocks[1].setup.faults.line.push_back(drop);  // scripted in the scenario file
    serve(blocks);
    downloadAllLines(2, 60s);
    recoverOnce();
    expectBothRecordsWhole();
    expectIdleWithBothBlocks();
}

TEST_F(DownloadFaultsE2e, AByteAddedAndNoiseAfterAnAcknowledgementAreBothCaught) {
    startBatchPair();
    lineFault("COM" + std::to_string(kPairComA) + " insert 21 0 0x0E");
    lineFault("COM" + std::to_string(kPairComB) + " garbage 250");
    downloadAllLines(2, 60s);
    recoverOnce();
    recoverOnce();
    expectBothRecordsWhole();
    expectIdleWithBothBlocks();
}

TEST_F(DownloadFaultsE2e, AFifoAtTheFileNameIsKeptWithoutHanging) {
    startBatchPair();
    const auto fifo = folder.path() / kFirstRecord;
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    downloadAllLines(2, 20s);
    EXPECT_TRUE(station->driver().messageBoxes().empty());
    EXPECT_TRUE(std::filesystem::is_fifo(std::filesystem::symlink_status(fifo)));
    const auto moved = folder.path() / numberedFileName(kFirstRecord, 2);
    EXPECT_GT(std::filesystem::file_size(moved), kWavHeaderSize) << "the record took no other name";
    expectIdleWithBothBlocks();
}

}  // namespace
}  // namespace kelvra::test
