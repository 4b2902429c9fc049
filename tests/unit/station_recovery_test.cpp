#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "download/DownloadManifest.h"
#include "download/WavFormat.h"
#include "tests/support/StationFixture.h"
#include "tests/support/WavExpectation.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kRate = 8000;
constexpr std::uint16_t kSeconds = 3;
constexpr std::uint32_t kChannelBytes = kRate * kSeconds * 2;  // 47 sectors and a part
const char* const kFirstFile = "5 Марта 18г 14-07-09 Запись 1.wav";
const char* const kSecondFile = "5 Марта 18г 14-07-09 Запись 2.wav";

class Recovery : public test::StationFixture {
protected:
    void SetUp() override {
        driver.onFolderPicker([this](std::string_view) -> std::optional<std::string> {
            return folder.path().string();
        });
    }

    // Both blocks hold entry 5 (A) / 9 (B) with two records; `firmware` picks the stream mode.
    void place(int firmwareA, int firmwareB, bool withB = true) {
        setupA = block(18, 42, firmwareA, true);
        setupA.entries = {entry(5, 2, true, 7, kRate, kSeconds)};
        setupB = block(18, 43, firmwareB, false);
        setupB.entries = {entry(9, 2, false, 7, kRate, kSeconds)};
        addBlock(3, setupA);
        if (withB) {
            addBlock(4, setupB);
        }
        start();
        tick();
    }

    void unplugAfter(int com, std::uint32_t sectors, std::uint32_t forMs, bool otherSlot = false) {
        backend.withModel(port(com), [&](blocksim::BlockModel& model) {
            model.armUnplug(blocksim::UnplugFault{sectors, forMs, otherSlot});
        });
    }

    void downloadBothRecords() {
        ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, 0));
        ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, 1));
        ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
        ASSERT_TRUE(driver.runUntilWorkersEnd());
    }

    // One recovery tick, ten virtual seconds after the last, with the heartbeat between.
    void recoveryTick() {
        tick(9);
        clock.advance(1000);
        ASSERT_TRUE(driver.fireTimer(*window, kRecoveryTimer));
        ASSERT_TRUE(driver.runUntilWorkersEnd());
    }

    void expectBothFilesWhole(test::ChannelSource left, test::ChannelSource right) {
        for (std::uint8_t record = 0; record < 2; ++record) {
            const Bytes data = test::readFileBytes(folder.file(record ? kSecondFile : kFirstFile));
            ASSERT_EQ(data.size(), kWavHeaderSize + 2 * kChannelBytes) << int(record);
            EXPECT_TRUE(Bytes(data.begin() + kWavHeaderSize, data.end()) ==
                        test::expectedSampleData(left, right, record, kChannelBytes))
                << "record " << int(record) << " differs from what the blocks hold";
        }
    }

    test::TempFolder folder;
    blocksim::BlockSetup setupA;
    blocksim::BlockSetup setupB;
};

TEST_F(Recovery, AddressedBlocksResumeWhereTheyStopped) {
    place(60, 60);
    unplugAfter(4, 30, 3000);  // mid-batch of block B, in the first record
    downloadBothRecords();
    ASSERT_TRUE(window->download().job().recoveryPending);
    EXPECT_EQ(window->download().job().retryCount, 1);
    EXPECT_FALSE(window->slotA.present);
    EXPECT_TRUE(driver.timerRunning(*window, kMonitorTimer));
    takeReceived(3);
    takeReceived(4);
    recoveryTick();
    EXPECT_EQ(window->download().job().retryCount, 0) << "reads past the loss forget it";
    EXPECT_FALSE(window->download().job().recoveryPending);
    expectBothFilesWhole({&setupA, 5}, {&setupB, 9});
    // Both blocks were asked again from the same sector, with a fresh batch.
    const Bytes a = takeReceived(3);
    const Bytes b = takeReceived(4);
    ASSERT_GE(a.size(), 6u);
    ASSERT_GE(b.size(), 6u);
    const auto firstRequest = [](const Bytes& wire) {
        for (std::size_t i = 0; i + 5 < wire.size(); ++i) {
            if (wire[i] == 0x13 && (wire[i + 1] == 5 || wire[i + 1] == 9)) {
                return Bytes(wire.begin() + static_cast<long>(i) + 2,
                             wire.begin() + static_cast<long>(i) + 5);
            }
        }
        return Bytes{};
    };
    EXPECT_EQ(firstRequest(a), firstRequest(b)) << "both channels resume at one sector";
}

TEST_F(Recovery, APairSplitByTheFailureResumesInStep) {
    place(31, 31);  // addressed single sectors: 120 s records
    unplugAfter(4, 7, 2000);
    ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, 0));
    ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
    ASSERT_TRUE(driver.runUntilWorkersEnd());
    ASSERT_TRUE(window->download().job().recoveryPending);
    EXPECT_EQ(window->slotA.sectorIndex, window->slotB.sectorIndex);
    recoveryTick();
    const std::uint32_t bytes = 21333u * 120u * 2u;
    const Bytes data = test::readFileBytes(folder.file(kFirstFile));
    ASSERT_EQ(data.size(), kWavHeaderSize + 2 * bytes);
    EXPECT_TRUE(Bytes(data.begin() + kWavHeaderSize, data.end()) ==
                test::expectedSampleData({&setupA, 5}, {&setupB, 9}, 0, bytes));
    EXPECT_EQ(window->download().job().jobBytesLeft, 0u);
    EXPECT_TRUE(window->IsItemEnabled(IDC_READ_SELECTED));
}

TEST_F(Recovery, ABasicStreamBlockRestartsTheRecord) {
    place(60, 70);
    unplugAfter(4, 60, 2000);  // in the second record
    downloadBothRecords();
    ASSERT_TRUE(window->download().job().recoveryPending);
    recoveryTick();
    EXPECT_FALSE(window->download().job().recoveryPending);
    expectBothFilesWhole({&setupA, 5}, {&setupB, 9});
}

TEST_F(Recovery, GivesUpAtTheFiftySecondTick) {
    place(60, 60);
    unplugAfter(4, 50, 3600000);
    downloadBothRecords();
    for (int expected : {2, 3, 4, 5}) {
        recoveryTick();
        EXPECT_EQ(window->download().job().retryCount, expected);
        EXPECT_TRUE(driver.messageBoxes().empty());
    }
    recoveryTick();
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text, "Unable to read communication port");
    EXPECT_TRUE(driver.isOpen(*window)) << "giving up does not end the program";
    EXPECT_FALSE(driver.timerRunning(*window, kRecoveryTimer));
    EXPECT_TRUE(window->IsItemEnabled(IDC_READ_SELECTED));
    EXPECT_TRUE(window->IsItemEnabled(IDC_CLEAR_MEMORY));
    EXPECT_FALSE(window->IsItemVisible(IDC_PROGRESS));
    EXPECT_FALSE(window->download().job().recoveryPending);
    // The partial file keeps its header, which counts the whole record, and whole pairs, under
    // a name that says it is partial.
    EXPECT_FALSE(std::filesystem::exists(folder.file(kFirstFile)));
    const Bytes partial = test::readFileBytes(folder.file(std::string(kFirstFile) + ".part"));
    ASSERT_GT(partial.size(), kWavHeaderSize);
    EXPECT_EQ((partial.size() - kWavHeaderSize) % 1024, 0u);
    tick();
    EXPECT_EQ(label(IDC_SERIAL_A), "S/N:   2018-042") << "found and shown again";
}

TEST_F(Recovery, AnotherBlockInTheSlotFailsTheIdentityTest) {
    place(60, 60);
    unplugAfter(4, 30, 3600000);
    downloadBothRecords();
    addBlock(5, block(18, 43 + 256, 60, false));  // same serial year, other number
    tick(2);
    ASSERT_TRUE(window->slotB.present);
    recoveryTick();
    EXPECT_EQ(window->download().job().retryCount, 2);
    recoveryTick();
    EXPECT_EQ(window->download().job().retryCount, 3);
    EXPECT_TRUE(window->download().job().recoveryPending);
}

TEST_F(Recovery, BlocksBackInExchangedSlotsKeepTheirChannelsAndEntries) {
    place(60, 60);
    unplugAfter(4, 30, 3000, true);
    downloadBothRecords();
    recoveryTick();
    ASSERT_FALSE(window->download().job().recoveryPending);
    EXPECT_EQ(window->slotA.serialNumber, 43) << "block B's block now sits in slot A";
    expectBothFilesWhole({&setupA, 5}, {&setupB, 9});
    // The manifest names each channel's block as it names the copies: by the slot it began in.
    const DownloadManifest manifest = DownloadManifest::load(folder.path().string());
    for (const char* file : {kFirstFile, kSecondFile}) {
        const ManifestEntry* entry = manifest.entryFor(file);
        ASSERT_TRUE(entry != nullptr && entry->channels) << file;
        EXPECT_EQ((*entry->channels)[0].block, 'A') << file;
        EXPECT_EQ((*entry->channels)[1].block, 'B') << file;
        EXPECT_EQ(entry->record.blockA->serialNumber, 42) << file;
    }
}

TEST_F(Recovery, AJobWithBlockAOnlyRecoversOnBlockAAlone) {
    place(60, 60, false);
    unplugAfter(3, 30, 3000);
    downloadBothRecords();
    recoveryTick();
    EXPECT_FALSE(window->download().job().recoveryPending);
    expectBothFilesWhole({&setupA, 5}, {});
}

TEST_F(Recovery, AStaleIdentityOfAnEmptySlotMatchesNoBlock) {
    // Block 43 sat in slot B before the job and was unplugged: the slot keeps its number.
    place(60, 60);
    backend.unplug(port(4));
    tick(2);
    ASSERT_TRUE(window->slotA.present);
    ASSERT_FALSE(window->slotB.present);
    ASSERT_EQ(window->slotB.serialNumber, 43);
    unplugAfter(3, 30, 3600000);
    ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, 0));
    ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
    ASSERT_TRUE(driver.runUntilWorkersEnd());
    ASSERT_TRUE(window->download().job().recoveryPending);
    // Block 43 comes back, now recording as A, while block 42 stays away.
    addBlock(5, block(18, 43, 60, true));
    tick(2);
    ASSERT_TRUE(window->slotA.present);
    ASSERT_EQ(window->slotA.serialNumber, 43);
    takeReceived(5);
    recoveryTick();
    EXPECT_TRUE(window->download().job().recoveryPending) << "the job went on with another block";
    EXPECT_EQ(window->download().job().retryCount, 2);
    for (std::uint8_t byte : takeReceived(5)) {
        EXPECT_NE(byte, 0x13) << "the other block was asked for the record";
    }
}

TEST_F(Recovery, AfterBlocksCameBackExchangedTheWindowShowsThemAsTheyAre) {
    place(60, 60);
    unplugAfter(4, 30, 3000, true);
    downloadBothRecords();
    recoveryTick();
    ASSERT_FALSE(window->download().job().recoveryPending);
    EXPECT_EQ(label(IDC_SERIAL_A), "S/N:   2018-043");
    EXPECT_EQ(label(IDC_SERIAL_B), "S/N:   2018-042");
    // The list was read again from the blocks where they now sit: a second job asks each
    // block for its own entries and writes the same files again.
    // The folder itself stays: it is the current one now, which Windows does not remove.
    for (const auto& file : std::filesystem::directory_iterator(folder.path())) {
        std::filesystem::remove(file.path());
    }
    downloadBothRecords();
    EXPECT_TRUE(driver.messageBoxes().empty());
    EXPECT_FALSE(window->download().job().recoveryPending);
    expectBothFilesWhole({&setupA, 5}, {&setupB, 9});
}

TEST_F(Recovery, ABlockInTheEmptySlotFailsTheOccupancyTest) {
    place(60, 60, false);
    unplugAfter(3, 30, 3000);
    downloadBothRecords();
    addBlock(4, setupB);
    recoveryTick();
    EXPECT_EQ(window->download().job().retryCount, 2);
    EXPECT_TRUE(window->download().job().recoveryPending);
}

// A long record in each read mode. Resumed reads go on from the first pair not yet written,
// so a fault there is mended once the reads pass it; a restarted record is read from its
// start, so each fault must strike further in than the one before.
struct CountMode {
    const char* name;
    int firmware;
    std::uint32_t channelBytes;
    bool restarts;
};
void PrintTo(const CountMode& mode, std::ostream* out) {
    *out << mode.name;
}

class RecoveryCount : public Recovery, public ::testing::WithParamInterface<CountMode> {
protected:
    void placeOneRecord() {
        setupA = block(18, 42, GetParam().firmware, true);
        setupA.entries = {entry(5, 1, true, 7, kRate, 10)};
        setupB = block(18, 43, GetParam().firmware, false);
        setupB.entries = {entry(9, 1, false, 7, kRate, 10)};
        addBlock(3, setupA);
        addBlock(4, setupB);
        start();
        tick();
    }

    void download() {
        ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, 0));
        ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
        ASSERT_TRUE(driver.runUntilWorkersEnd());
    }

    const DownloadJob& job() { return window->download().job(); }
};

TEST_P(RecoveryCount, ALongJobSurvivesEveryFaultThatIsMended) {
    // Seven faults, more than the tries of one incident: block B away for 35 s, whose waiting
    // ticks count too, block A's reply cut short, then five short losses of block B.
    const CountMode mode = GetParam();
    const auto sectorsBefore = [&](std::uint32_t fault) {
        return mode.restarts ? 40 * (fault + 1) : 50;
    };
    placeOneRecord();
    unplugAfter(4, sectorsBefore(0), 35000);
    download();
    for (int waiting : {2, 3, 4}) {
        recoveryTick();
        ASSERT_EQ(job().retryCount, waiting);
    }
    for (std::uint32_t fault = 1; fault < 7; ++fault) {
        if (fault == 1) {
            blocksim::LineFault cut;
            cut.kind = blocksim::LineFault::Kind::Cut;
            cut.afterSectors = sectorsBefore(fault);
            backend.armLineFault(port(3), cut);
        } else {
            unplugAfter(4, sectorsBefore(fault), 3000);
        }
        recoveryTick();
        ASSERT_TRUE(driver.messageBoxes().empty()) << "gave up at fault " << fault;
        ASSERT_TRUE(job().recoveryPending) << "fault " << fault << " did not strike";
        EXPECT_EQ(job().retryCount, 1) << "fault " << fault;
    }
    recoveryTick();
    EXPECT_TRUE(driver.messageBoxes().empty());
    ASSERT_FALSE(job().recoveryPending);
    EXPECT_EQ(job().downloadQueue[0].recoveries, 7);
    const Bytes data = test::readFileBytes(folder.file(kFirstFile));
    ASSERT_EQ(data.size(), kWavHeaderSize + 2 * mode.channelBytes);
    EXPECT_TRUE(Bytes(data.begin() + kWavHeaderSize, data.end()) ==
                test::expectedSampleData({&setupA, 5}, {&setupB, 9}, 0, mode.channelBytes));
}

TEST_P(RecoveryCount, AFaultAtTheSamePlaceEveryTimeGivesUpAfterFiveFailures) {
    // Block A's reply is cut short in one sector of the record on every try: the pairs before
    // it are read again, but the reads never get further.
    constexpr std::uint32_t kFaultySector = 70;  // inside a batch
    placeOneRecord();
    const auto cutTheSameSector = [&] {
        blocksim::LineFault cut;
        cut.kind = blocksim::LineFault::Kind::Cut;
        cut.afterSectors = kFaultySector - (GetParam().restarts ? 0 : window->slotA.sectorIndex);
        backend.armLineFault(port(3), cut);
    };
    cutTheSameSector();
    download();
    for (int failures = 1; failures < 5; ++failures) {
        ASSERT_TRUE(job().recoveryPending);
        EXPECT_EQ(job().retryCount, failures);
        cutTheSameSector();
        recoveryTick();
        ASSERT_TRUE(driver.messageBoxes().empty()) << "gave up after " << failures;
    }
    EXPECT_EQ(job().retryCount, 5);
    recoveryTick();
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text, "Unable to read communication port");
    EXPECT_EQ(job().downloadQueue[0].recoveries, 5);
    EXPECT_FALSE(std::filesystem::exists(folder.file(kFirstFile)));
}

INSTANTIATE_TEST_SUITE_P(Modes, RecoveryCount,
                         ::testing::Values(CountMode{"Batches", 60, kRate * 10 * 2, false},
                                           CountMode{"SingleSectors", 31, 21333 * 120 * 2, false},
                                           CountMode{"BasicStream", 70, kRate * 10 * 2, true}),
                         [](const ::testing::TestParamInfo<CountMode>& tested) {
                             return std::string(tested.param.name);
                         });

}  // namespace
}  // namespace kelvra
