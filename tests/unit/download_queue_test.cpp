#include <gtest/gtest.h>

#include "download/DownloadQueue.h"

namespace kelvra {
namespace {

TEST(FolderFileLimit, RefusesOnlyTheFilesLargerThanTheFolderHoldsAndSaysWhy) {
    // 48000 Hz for 30000 s: 5.4 GiB of file, an RF64 one; then 16000 bytes a channel.
    RecordInfo table[2];
    table[0] = {
        .addrA = 5, .recordNo = 1, .day = 5, .month = 3, .sampleRate = 48000, .duration = 30000};
    table[1] = {.addrA = 5, .recordNo = 2, .day = 5, .month = 3, .sampleRate = 8000, .duration = 1};
    CBlockPort present;
    present.present = true;
    const int lines[] = {0, 1};
    DownloadJob job;
    queueSelectedLines(job, table, 2, lines, 2, present, CBlockPort{});

    const std::vector<DownloadItem> refused =
        refuseFilesOverLimit(job, {"FAT32", platform::kFatMaxFileBytes});
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refusedFilesMessage(refused),
              "Line 1: 5 Марта 0г 00-00-00 Запись 1.wav needs 5.4 GiB but the folder's file "
              "system (FAT32) holds at most 4.0 GiB per file");
    ASSERT_EQ(job.queueLength, 1);
    EXPECT_EQ(job.downloadQueue[0].row, 1);
    EXPECT_EQ(job.jobBytesTotal, 16000u) << "the refused record is still counted";

    // A file of exactly the limit fits.
    EXPECT_EQ(fileBytesOf(job, job.downloadQueue[0]), kWavHeaderSize + 32000);
    EXPECT_TRUE(refuseFilesOverLimit(job, {"FAT", kWavHeaderSize + 32000}).empty());
    EXPECT_EQ(refuseFilesOverLimit(job, {"FAT", kWavHeaderSize + 31999}).front().failure,
              "5 Марта 0г 00-00-00 Запись 2.wav needs 32076 bytes but the folder's file system "
              "(FAT) holds at most 32075 bytes per file");
    EXPECT_EQ(job.queueLength, 0);
}

}  // namespace
}  // namespace kelvra
