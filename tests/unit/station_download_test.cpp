#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "download/WavFormat.h"
#include "tests/support/ExpectedWav.h"
#include "tests/support/StationFixture.h"
#include "tests/support/WavExpectation.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t read32(const Bytes& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16)) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

class Download : public test::StationFixture {
protected:
    void SetUp() override {
        driver.onFolderPicker([this](std::string_view title) -> std::optional<std::string> {
            pickerTitle = std::string(title);
            return folder.path().string();
        });
    }

    void place(blocksim::BlockSetup a, blocksim::BlockSetup b, bool withA = true,
               bool withB = true) {
        setupA = std::move(a);
        setupB = std::move(b);
        if (withA) {
            addBlock(3, setupA);
        }
        if (withB) {
            addBlock(4, setupB);
        }
        start();
        tick();
    }

    void download(std::vector<int> lines) {
        for (int line : lines) {
            ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, line));
        }
        ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
        ASSERT_TRUE(driver.runUntilWorkersEnd());
    }

    Bytes file(const std::string& name) { return test::readFileBytes(folder.file(name)); }

    // Pairs reach the file a whole acknowledged batch at a time; the worker waits on the
    // window's calls of a progress drawing after every pair.
    void waitForFrames(std::uintmax_t frameBytes = 1) {
        const auto partial = folder.file("5 Марта 18г 14-07-09 Запись 1.wav.part");
        for (int call = 0;
             call < 200 && (!std::filesystem::exists(partial) ||
                            std::filesystem::file_size(partial) < kWavHeaderSize + frameBytes);
             ++call) {
            ASSERT_TRUE(driver.pumpOnce());
        }
    }

    // A minute's record on two blocks of `firmware`, being downloaded through the window.
    void startMinuteRecord(int firmware) {
        auto a = block(18, 42, firmware, true, true);
        a.entries = {entry(5, 1, true, 7, 8000, 60)};
        auto b = block(18, 43, firmware, false);
        b.entries = {entry(9, 1, false, 7, 8000, 60)};
        place(a, b);
        ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, 0));
        ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
    }

    std::uint64_t sectorsSent(int com) {
        std::uint64_t sent = 0;
        backend.withModel(port(com), [&](auto& model) { sent = model.recordSectorsSent(); });
        return sent;
    }

    test::TempFolder folder;
    std::string pickerTitle;
    blocksim::BlockSetup setupA;
    blocksim::BlockSetup setupB;
};

TEST_F(Download, ThreeLinesGiveThreeFilesInListOrder) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 2, true, 7), entry(6, 1, true, 9, 11025, 2)};
    auto b = block(18, 43, 60, false);
    b.entries = {entry(9, 2, false, 7), entry(10, 1, false, 9, 11025, 2)};
    place(a, b);
    ASSERT_EQ(listLines().size(), 3u);
    download({0, 1, 2});

    EXPECT_EQ(pickerTitle, "Выберите папку для сохранения");
    EXPECT_EQ(folder.fileNames(), (std::vector<std::string>{
                                      "5 Марта 18г 14-07-09 Запись 1.wav",
                                      "5 Марта 18г 14-07-09 Запись 2.wav",
                                      "5 Марта 18г 14-09-09 Запись 1.wav",
                                  }));
    const Bytes second = file("5 Марта 18г 14-07-09 Запись 2.wav");
    ASSERT_EQ(second.size(), kWavHeaderSize + 32000);
    EXPECT_EQ(Bytes(second.begin() + 38, second.begin() + 54),
              (Bytes{0x22, 0x12, 18, 60, 42, 0, 0, 0, 0x22, 0x12, 18, 60, 43, 0, 0, 0}));
    EXPECT_EQ(Bytes(second.begin() + kWavHeaderSize, second.end()),
              test::expectedSampleData({&setupA, 5}, {&setupB, 9}, 1, 16000));
    const Bytes third = file("5 Марта 18г 14-09-09 Запись 1.wav");
    EXPECT_EQ(read32(third, 24), 11025u);
    EXPECT_EQ(Bytes(third.begin() + kWavHeaderSize, third.end()),
              test::expectedSampleData({&setupA, 6}, {&setupB, 10}, 0, 44100));

    // The bar measured the whole job: drawn after every pair but the very last.
    const int pairs = 32 + 32 + 87;
    EXPECT_EQ(driver.fillCount(*window, IDC_PROGRESS), 2 * (pairs - 1));
    EXPECT_FALSE(window->IsItemVisible(IDC_PROGRESS));
    EXPECT_TRUE(window->IsItemEnabled(IDC_READ_SELECTED));
    EXPECT_TRUE(window->IsItemEnabled(IDC_CLEAR_MEMORY));
    EXPECT_TRUE(driver.timerRunning(*window, kMonitorTimer));
    EXPECT_FALSE(window->download().job().recoveryPending);
}

TEST_F(Download, ACopyOfOneBlockLeavesTheOtherChannelAndDescriptionZero) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7), entry(6, 1, false, 8)};
    place(a, block(18, 43, 60, false));
    ASSERT_EQ(listLines().size(), 2u);
    download({0, 1});

    const Bytes asA = file("5 Марта 18г 14-07-09 Запись 1.wav");
    EXPECT_EQ(Bytes(asA.begin() + 38, asA.begin() + 46), (Bytes{0x21, 0x11, 18, 60, 42, 0, 0, 0}));
    EXPECT_EQ(Bytes(asA.begin() + 46, asA.begin() + 54), Bytes(8, 0));
    EXPECT_EQ(Bytes(asA.begin() + kWavHeaderSize, asA.end()),
              test::expectedSampleData({&setupA, 5}, {}, 0, 16000));

    // Made in role B: swapped, so block A's samples go right and the left side is silent.
    const Bytes asB = file("5 Марта 18г 14-08-09 Запись 1.wav");
    EXPECT_EQ(Bytes(asB.begin() + 38, asB.begin() + 46), Bytes(8, 0));
    EXPECT_EQ(Bytes(asB.begin() + 46, asB.begin() + 54), (Bytes{0x21, 0x11, 18, 60, 42, 0, 0, 0}));
    EXPECT_EQ(Bytes(asB.begin() + kWavHeaderSize, asB.end()),
              test::expectedSampleData({}, {&setupA, 6}, 0, 16000));
    for (std::uint8_t byte : takeReceived(4)) {
        EXPECT_NE(byte, 0x13) << "block B holds no copy and is not asked";
    }
}

TEST_F(Download, OnlyBlockBConnected) {
    auto b = block(18, 43, 70, false);  // basic stream mode
    b.entries = {entry(9, 1, false, 7, 8000, 1)};
    place(block(18, 42, 60, true), b, false, true);
    download({0});
    const Bytes data = file("5 Марта 18г 14-07-09 Запись 1.wav");
    EXPECT_EQ(Bytes(data.begin() + 38, data.begin() + 46), Bytes(8, 0));
    EXPECT_EQ(Bytes(data.begin() + kWavHeaderSize, data.end()),
              test::expectedSampleData({}, {&setupB, 9}, 0, 16000));
}

TEST_F(Download, NothingHappensWithoutSelectionOrWhenThePickerIsCancelled) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    place(a, block(18, 43, 60, false));
    ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
    EXPECT_TRUE(driver.folderPickerTitles().empty());
    driver.onFolderPicker([](std::string_view) { return std::optional<std::string>(); });
    ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, 0));
    ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
    EXPECT_TRUE(driver.timerRunning(*window, kMonitorTimer));
    EXPECT_TRUE(window->IsItemEnabled(IDC_READ_SELECTED));
    EXPECT_TRUE(folder.fileNames().empty());
}

TEST_F(Download, ARecordOfNoLengthGivesAHeaderOnlyFileAndTheJobGoesOn) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7, 0, 1), entry(6, 1, true, 8)};
    place(a, block(18, 43, 60, false));
    download({0, 1});
    const Bytes empty = file("5 Марта 18г 14-07-09 Запись 1.wav");
    ASSERT_EQ(empty.size(), kWavHeaderSize);
    EXPECT_EQ(read32(empty, 4), 68u);
    EXPECT_EQ(read32(empty, 72), 0u);
    EXPECT_EQ(file("5 Марта 18г 14-08-09 Запись 1.wav").size(), kWavHeaderSize + 32000);
    EXPECT_TRUE(window->IsItemEnabled(IDC_READ_SELECTED));
}

TEST_F(Download, AFolderThatCannotTakeTheFileEndsTheProgram) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    place(a, block(18, 43, 60, false));
    driver.onFolderPicker(
        [](std::string_view) { return std::optional<std::string>("/proc/self"); });
    download({0});
    ASSERT_FALSE(driver.messageBoxes().empty());
    EXPECT_EQ(driver.messageBoxes().back().text, "Unable to create file");
    EXPECT_TRUE(driver.hasEnded(*window));
}

TEST_F(Download, RowsOfOneNameGetNumberedFilesAndAnOlderFileNoManifestKnowsIsKept) {
    auto a = block(18, 42, 60, true);
    // A block whose clock was reset: three entries of one date and time.
    a.entries = {entry(5, 1, true, 7), entry(6, 1, true, 7), entry(7, 1, true, 7)};
    place(a, block(18, 43, 60, false));
    ASSERT_EQ(listLines().size(), 3u);
    { std::ofstream(folder.file("5 Марта 18г 14-07-09 Запись 1.wav")) << "older file"; }
    download({0, 1, 2});
    EXPECT_EQ(folder.fileNames(), (std::vector<std::string>{
                                      "5 Марта 18г 14-07-09 Запись 1 (2).wav",
                                      "5 Марта 18г 14-07-09 Запись 1 (3).wav",
                                      "5 Марта 18г 14-07-09 Запись 1 (4).wav",
                                      "5 Марта 18г 14-07-09 Запись 1.wav",
                                  }));
    EXPECT_EQ(file("5 Марта 18г 14-07-09 Запись 1.wav"),
              Bytes({'o', 'l', 'd', 'e', 'r', ' ', 'f', 'i', 'l', 'e'}));
    const std::uint8_t addresses[3] = {5, 6, 7};
    // The first row moves on from the kept file, past the names the other rows own.
    const char* const names[3] = {"5 Марта 18г 14-07-09 Запись 1 (4).wav",
                                  "5 Марта 18г 14-07-09 Запись 1 (2).wav",
                                  "5 Марта 18г 14-07-09 Запись 1 (3).wav"};
    for (int line = 0; line < 3; ++line) {
        const Bytes data = file(names[line]);
        ASSERT_EQ(data.size(), kWavHeaderSize + 32000) << names[line];
        EXPECT_EQ(Bytes(data.begin() + kWavHeaderSize, data.end()),
                  test::expectedSampleData({&setupA, addresses[line]}, {}, 0, 16000))
            << names[line];
    }
}

// No name in it can be looked at: the record is not moved from name to name for ever.
TEST_F(Download, AFolderThatIsAFileEndsTheJobWithTheMessage) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    place(a, block(18, 43, 60, false));
    const std::string notAFolder = folder.file("not a folder").string();
    { std::ofstream(notAFolder) << "kept"; }
    driver.onFolderPicker([&](std::string_view) { return std::optional<std::string>(notAFolder); });
    download({0});
    ASSERT_FALSE(driver.messageBoxes().empty());
    EXPECT_EQ(driver.messageBoxes().back().text, "Unable to create file");
    EXPECT_EQ(folder.fileNames(), std::vector<std::string>{"not a folder"});
}

TEST_F(Download, AFolderThatIsGoneWritesNothingAnywhereElse) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    place(a, block(18, 43, 60, false));
    test::TempFolder current;
    std::filesystem::current_path(current.path());
    const std::string missing = (folder.file("gone")).string();
    driver.onFolderPicker([&](std::string_view) { return std::optional<std::string>(missing); });
    download({0});
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    ASSERT_FALSE(driver.messageBoxes().empty());
    EXPECT_EQ(driver.messageBoxes().back().text, "Unable to create file");
    EXPECT_TRUE(current.fileNames().empty()) << "the file went to the current folder";
    EXPECT_TRUE(folder.fileNames().empty());
}

TEST_F(Download, ARecordTooLongForTheLinkIsRefusedAndTheOthersAreRead) {
    auto a = block(18, 42, 60, true);
    // A corrupted entry: 65535 samples per second for 65535 s would wrap 32-bit sizes.
    a.entries = {entry(5, 1, true, 7, 65535, 65535), entry(6, 1, true, 8)};
    place(a, block(18, 43, 60, false));
    download({0, 1});
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text,
              "Line 1: the record is too long to be read: a channel would hold 4 GiB or more");
    EXPECT_EQ(folder.fileNames(), std::vector<std::string>{"5 Марта 18г 14-08-09 Запись 1.wav"});
    EXPECT_EQ(file("5 Марта 18г 14-08-09 Запись 1.wav").size(), kWavHeaderSize + 32000);
    EXPECT_EQ(window->GetFocusedItem(), IDC_RECORD_LIST)
        << "the disabled button took the keyboard focus with it";
}

TEST_F(Download, MoreThanAQueueOfRecordsIsRefusedBeforeThePicker) {
    auto a = block(18, 42, 60, true);
    for (int i = 0; i < 41; ++i) {
        a.entries.push_back(entry(static_cast<std::uint8_t>(i), 4, true, i));
    }
    place(a, block(18, 43, 60, false));
    ASSERT_EQ(listLines().size(), 164u);
    for (int line = 0; line <= kQueueCapacity; ++line) {
        ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, line));
    }
    ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_TRUE(driver.folderPickerTitles().empty());
    EXPECT_TRUE(driver.timerRunning(*window, kMonitorTimer));
    EXPECT_TRUE(window->IsItemEnabled(IDC_READ_SELECTED));
}

TEST_F(Download, ClosingTheWindowMidJobStopsTheWorkerAndKeepsThePartialFile) {
    startMinuteRecord(60);
    ASSERT_FALSE(HasFatalFailure());
    waitForFrames();
    takeReceived(3);
    driver.doubleClickLine(*window, IDC_RECORD_LIST, 0);
    driver.doubleClick(*window, IDC_SERIAL_A);
    EXPECT_TRUE(driver.modalRuns().empty()) << "no factory setup while the worker owns the port";
    ASSERT_TRUE(driver.pressEscape(*window));
    driver.finish(*window);
    EXPECT_EQ(driver.messageBoxes().size(), 0u) << "no delete question during a download";
    window.reset();
    EXPECT_FALSE(std::filesystem::exists(folder.file("5 Марта 18г 14-07-09 Запись 1.wav")))
        << "a fraction of the record passes for a whole one";
    const Bytes partial = file("5 Марта 18г 14-07-09 Запись 1.wav.part");
    constexpr std::size_t kBatchFrames = 20 * 1024;
    ASSERT_GE(partial.size(), kWavHeaderSize + kBatchFrames);
    EXPECT_EQ((partial.size() - kWavHeaderSize) % kBatchFrames, 0u) << "whole batches only";
    EXPECT_EQ(read32(partial, 72), 2u * 960000u) << "the header counts the whole record";
    EXPECT_EQ(
        Bytes(partial.begin() + kWavHeaderSize, partial.begin() + kWavHeaderSize + kBatchFrames),
        Bytes(test::expectedSampleData({&setupA, 5}, {&setupB, 9}, 0, kBatchFrames / 2)));

    // Downloaded again through a new window, the record goes on from the partial file.
    const std::uint64_t sentBefore = sectorsSent(3);
    start();
    tick();
    download({0});
    EXPECT_EQ(file("5 Марта 18г 14-07-09 Запись 1.wav"),
              test::expectedWavFile({&setupA, 5}, {&setupB, 9}, 0));
    const std::uint64_t sent = sectorsSent(3);
    constexpr std::uint64_t kRecordSectors = 960000 / 512;
    EXPECT_EQ(sent - sentBefore, kRecordSectors - (partial.size() - kWavHeaderSize) / 1024 + 20);
    EXPECT_LE(sent - kRecordSectors, 2u * 20u) << "read again beyond the overlap and a batch";
}

TEST_F(Download, ABasicStreamRecordClosedHalfWayIsReadAgainWhole) {
    startMinuteRecord(70);
    ASSERT_FALSE(HasFatalFailure());
    waitForFrames(30 * 1024);
    driver.finish(*window);
    window.reset();
    const std::uint64_t sentBefore = sectorsSent(3);
    start();
    tick();
    download({0});
    EXPECT_EQ(file("5 Марта 18г 14-07-09 Запись 1.wav"),
              test::expectedWavFile({&setupA, 5}, {&setupB, 9}, 0));
    EXPECT_EQ(sectorsSent(3) - sentBefore, 960000u / 512) << "a stream starts at the start";
}

TEST_F(Download, DeleteAndFactorySetupAreRefusedWhileRecoveryWaits) {
    auto a = block(18, 42, 60, true, true);
    a.entries = {entry(5, 1, true, 7, 8000, 10)};
    auto b = block(18, 43, 60, false);
    b.entries = {entry(9, 1, false, 7, 8000, 10)};
    b.faults.unplug = blocksim::UnplugFault{20, 600000, false};
    place(a, b);
    download({0});
    ASSERT_TRUE(window->download().job().recoveryPending);
    EXPECT_TRUE(driver.timerRunning(*window, kRecoveryTimer));
    tick();
    ASSERT_TRUE(window->slotA.present) << "found again, but recovery still waits for B";
    takeReceived(3);
    driver.doubleClickLine(*window, IDC_RECORD_LIST, 0);
    driver.doubleClick(*window, IDC_SERIAL_A);
    EXPECT_TRUE(driver.modalRuns().empty());
    EXPECT_TRUE(takeReceived(3).empty());
}

}  // namespace
}  // namespace kelvra
