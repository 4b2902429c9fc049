#include "tests/support/PtyDownloadTest.h"

#include <algorithm>

#include "tests/support/ExpectedWav.h"
#include "tests/support/SoxInfo.h"

namespace kelvra::test {

void PtyDownloadTest::serve(blocksim::Scenario blocks) {
    scenario = std::move(blocks);
    station = std::make_unique<PtyStation>(PtyStation::Options{blocksimBinary_, scenario, false});
    ASSERT_TRUE(station->tickUntilBothPlaced()) << "the blocks were not found";
}

void PtyDownloadTest::start(int firmwareA, std::vector<blocksim::EntrySetup> entriesA,
                            int firmwareB, std::vector<blocksim::EntrySetup> entriesB) {
    serve(pairScenario(firmwareA, std::move(entriesA), firmwareB, std::move(entriesB)));
}

void PtyDownloadTest::downloadAllLines(std::size_t lines, std::chrono::milliseconds limit) {
    ASSERT_EQ(station->listLines().size(), lines);
    std::vector<int> all;
    for (std::size_t i = 0; i < lines; ++i) {
        all.push_back(static_cast<int>(i));
    }
    ASSERT_TRUE(station->startDownload(all, folder.path().string()));
    ASSERT_TRUE(station->runWorker(limit)) << "the worker did not end in time";
}

void PtyDownloadTest::expectFiles(const std::vector<ExpectedFile>& files) {
    std::vector<std::string> names;
    for (const ExpectedFile& file : files) {
        names.push_back(file.name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(folder.fileNames(), names);
    for (const ExpectedFile& file : files) {
        SCOPED_TRACE(file.name);
        const auto path = folder.path() / file.name;
        const std::string difference = fileDifference(
            readFileBytes(path), expectedWavFile(file.left, file.right, file.recordIndex));
        if (!difference.empty()) {
            ADD_FAILURE() << "not what an uninterrupted download writes: " << difference;
            continue;
        }
        const ChannelSource& named = file.left.block != nullptr ? file.left : file.right;
        const RecordFormat format = recordFormat(*named.block, named.address);
        const auto info = soxInfo(path.string());
        ASSERT_TRUE(info) << "sox --i does not read the file (is sox installed?)";
        EXPECT_EQ(info->channels, 2);
        EXPECT_EQ(info->precisionBits, 16);
        EXPECT_EQ(info->encoding, "16-bit Signed Integer PCM");
        EXPECT_EQ(info->sampleRate, format.sampleRate);
        EXPECT_EQ(info->samples, format.channelBytes / 2);
    }
}

void PtyDownloadTest::expectIdleWithBothBlocks() {
    CMainDlg& window = station->window();
    platform::headless::DialogDriver& driver = station->driver();
    for (const auto& box : driver.messageBoxes()) {
        ADD_FAILURE() << "message box: " << box.text;
    }
    EXPECT_FALSE(window.download().job().recoveryPending);
    EXPECT_FALSE(window.IsItemVisible(IDC_PROGRESS));
    EXPECT_TRUE(window.IsItemEnabled(IDC_READ_SELECTED));
    EXPECT_TRUE(window.IsItemEnabled(IDC_CLEAR_MEMORY));
    EXPECT_FALSE(driver.timerRunning(window, kRecoveryTimer));
    ASSERT_TRUE(driver.fireTimer(window, kMonitorTimer)) << "timer 1 is not running";
    EXPECT_TRUE(window.slotA.present && window.slotB.present) << "a block was lost after the job";
}

}  // namespace kelvra::test
