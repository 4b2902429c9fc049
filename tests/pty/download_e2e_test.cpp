#include <gtest/gtest.h>

#include "tests/support/PtyDownloadTest.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;

class DownloadE2e : public PtyDownloadTest {
protected:
    DownloadE2e() : PtyDownloadTest(KELVRA_BLOCKSIM_PATH) {}
};

TEST_F(DownloadE2e, BasicStreamBlocks) {
    // 48000 and 44100 bytes per channel: the last read of each record is a part of a sector.
    start(70, {pairEntry(5, 2, true, 7, 8000, 3), pairEntry(6, 1, true, 9, 11025, 2)},  //
          70,
          {pairEntry(9, 2, false, 7, 8000, 3), pairEntry(10, 1, false, 9, 11025, 2),
           pairEntry(11, 1, false, 11, 8000, 1)});
    downloadAllLines(4, 60s);
    expectFiles({
        {"5 Марта 18г 14-07-09 Запись 1.wav", {setupA(), 5}, {setupB(), 9}, 0},
        {"5 Марта 18г 14-07-09 Запись 2.wav", {setupA(), 5}, {setupB(), 9}, 1},
        {"5 Марта 18г 14-09-09 Запись 1.wav", {setupA(), 6}, {setupB(), 10}, 0},
        {"5 Марта 18г 14-11-09 Запись 1.wav", {}, {setupB(), 11}, 0},  // block B's copy only
    });
    expectIdleWithBothBlocks();
}

TEST_F(DownloadE2e, BatchBlocks) {
    // 96000 bytes per channel: nine batches of 20 sectors and one of 8; 42724 bytes: four
    // batches and one of 4.
    start(60, {pairEntry(5, 2, true, 7, 16000, 3), pairEntry(6, 1, true, 9, 21362, 1)},  //
          60, {pairEntry(9, 2, false, 7, 16000, 3), pairEntry(10, 1, false, 9, 21362, 1)});
    downloadAllLines(3, 60s);
    expectFiles({
        {"5 Марта 18г 14-07-09 Запись 1.wav", {setupA(), 5}, {setupB(), 9}, 0},
        {"5 Марта 18г 14-07-09 Запись 2.wav", {setupA(), 5}, {setupB(), 9}, 1},
        {"5 Марта 18г 14-09-09 Запись 1.wav", {setupA(), 6}, {setupB(), 10}, 0},
    });
    expectIdleWithBothBlocks();
}

TEST_F(DownloadE2e, SingleSectorBlocksWithTheFixed120SecondFormat) {
    // Firmware 1.3 and 2.2 keep 120 s at 21333 samples per second whatever the entry says:
    // 5119920 bytes per channel, 10000 sectors, the last with 432 bytes of the record.
    start(13, {pairEntry(5, 1, true, 7, 8000, 1)}, 22, {pairEntry(9, 1, false, 7, 8000, 1)});
    downloadAllLines(1, 300s);
    expectFiles({{"5 Марта 18г 14-07-09 Запись 1.wav", {setupA(), 5}, {setupB(), 9}, 0}});
    expectIdleWithBothBlocks();
}

TEST_F(DownloadE2e, BlocksOfDifferentModesSideBySide) {
    // Block A sends batches while block B streams: each channel keeps its own pace.
    start(60, {pairEntry(5, 2, true, 7, 8000, 3)}, 70, {pairEntry(9, 2, false, 7, 8000, 3)});
    downloadAllLines(2, 60s);
    expectFiles({
        {"5 Марта 18г 14-07-09 Запись 1.wav", {setupA(), 5}, {setupB(), 9}, 0},
        {"5 Марта 18г 14-07-09 Запись 2.wav", {setupA(), 5}, {setupB(), 9}, 1},
    });
    expectIdleWithBothBlocks();
}

TEST_F(DownloadE2e, AReplacementBlockIsReadInItsOwnMode) {
    // Block A sends batches; a basic-stream block of role A waits on COM5, refused while slot A
    // is taken. Once block A is gone for good the newcomer takes slot A and must be read as a
    // basic-stream block, whatever block A could do.
    blocksim::Scenario blocks = pairScenario(60, {pairEntry(5, 1, true, 7, 8000, 3)}, 70,
                                             {pairEntry(9, 1, false, 7, 8000, 3)});
    blocksim::ScenarioBlock newcomer = blocks.blocks[0];
    newcomer.com = 5;
    newcomer.setup.serialNumber = 44;
    newcomer.setup.firmware = 70;
    blocks.blocks.push_back(newcomer);
    serve(blocks);
    CMainDlg& window = station->window();
    ASSERT_EQ(window.slotA.serialNumber, 42);
    ASSERT_TRUE(station->driver().fireTimer(window, kMonitorTimer));  // block A's clock
    ASSERT_TRUE(station->simulator().command("unplug COM3 3600000"));
    ASSERT_TRUE(station->simulator().waitForLine("UNPLUGGED COM3", 10s));
    // The refused port is tried again at the scan's next renewal, at most a dozen ticks on.
    ASSERT_TRUE(station->tickUntil(
        [&] {
            return window.slotA.present && window.slotA.serialNumber == 44 && window.slotB.present;
        },
        20));
    EXPECT_FALSE(window.slotA.addressedReads) << "slot A kept block A's modes";
    EXPECT_FALSE(window.slotA.batchReads) << "slot A kept block A's modes";
    downloadAllLines(1, 60s);
    expectFiles(
        {{"5 Марта 18г 14-07-09 Запись 1.wav", {&scenario.blocks[2].setup, 5}, {setupB(), 9}, 0}});
    expectIdleWithBothBlocks();
}

}  // namespace
}  // namespace kelvra::test
