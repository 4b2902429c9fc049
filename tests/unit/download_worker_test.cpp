#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "download/DownloadManifest.h"
#include "download/DownloadQueue.h"
#include "download/DownloadWorker.h"
#include "download/WavFormat.h"
#include "tests/support/ScriptedPort.h"
#include "tests/support/WavExpectation.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSector = 512;

// Recognisable sample bytes: block A's sector s is s*2+1, block B's s*2+2, and the last
// byte of every sector is 0x0E, so a byte added on the line leaves a false acknowledgement
// where the real one should be.
Bytes sectorOf(int block, std::uint32_t sector) {
    Bytes bytes(kSector, static_cast<std::uint8_t>(sector * 2 + static_cast<std::uint32_t>(block)));
    bytes.back() = 0x0E;
    return bytes;
}

TEST(CheckedReads, OnlyTheSameComputedDigestConfirmsARead) {
    DownloadItem item;
    item.readHashes = {"", std::string(64, 'a')};
    EXPECT_TRUE(item.confirmedBy(std::string(64, 'a')));
    EXPECT_FALSE(item.confirmedBy(std::string(64, 'b')));
    EXPECT_FALSE(item.confirmedBy("")) << "two reads whose hash failed agreed";
}

class RecordingHost : public DownloadHost {
public:
    void resumeTimers(bool recovery) override { recoveryTimer = recovery; }
    void drawProgress(std::uint64_t, std::uint64_t) override {}
    void restoreIdleControls() override {}
    void jobFinished() override { finished = true; }
    void showMessage(const char* message) override { messages.emplace_back(message); }
    void fatalError(const char* message) override { messages.emplace_back(message); }
    void blocksChanged() override {}
    bool windowOpen() const override { return true; }

    bool recoveryTimer = false;
    bool finished = false;
    std::vector<std::string> messages;
};

// One record of `sectors` whole sectors on two scripted blocks of the given mode, driven by
// the worker itself; the blocks' replies are scripted before each run.
class WorkerOnScriptedPorts : public ::testing::Test {
protected:
    void setUpJob(bool batches, std::uint32_t sectors, bool withB = true) {
        sectors_ = sectors;
        for (CBlockPort* slot : {&slotA, &slotB}) {
            slot->addressedReads = true;
            slot->batchReads = batches;
            slot->serialYear = 18;
            slot->present = true;
        }
        table[0].addrA = 5;
        table[0].addrB = withB ? 9 : kNoCopy;
        table[0].recordNo = 1;
        table[0].month = 3;
        table[0].sampleRate = static_cast<std::uint16_t>(sectors * kSector / 2);
        table[0].duration = 1;
        const int line = 0;
        queueSelectedLines(job, table, 1, &line, 1, slotA, slotB);
        job.outputFolder = folder.path().string();
    }

    // Fresh ports, as discovery gives them back after a failure.
    void plugIn() {
        for (CBlockPort* slot : {&slotA, &slotB}) {
            auto port = std::make_unique<test::ScriptedPort>();
            (slot == &slotA ? portA : portB) = port.get();
            slot->handle = std::move(port);
            slot->present = true;
        }
    }

    // What a block sends for sectors [first, first + count), with its acknowledgement.
    static Bytes reply(int block, std::uint32_t first, std::uint32_t count) {
        Bytes bytes;
        for (std::uint32_t s = first; s < first + count; ++s) {
            const Bytes one = sectorOf(block, s);
            bytes.insert(bytes.end(), one.begin(), one.end());
        }
        bytes.push_back(0x0E);
        return bytes;
    }

    void run() {
        DownloadContext context{slotA, slotB, table, job, host};
        downloadWorker(context);
    }

    // The file's samples: under its own name once complete, under its partial name until then.
    Bytes fileData() {
        const std::string& name = job.downloadQueue[0].fileName;
        const auto complete = folder.file(name);
        const Bytes file = test::readFileBytes(
            std::filesystem::exists(complete) ? complete : folder.file(name + ".part"));
        return Bytes(file.begin() + static_cast<long>(kWavHeaderSize), file.end());
    }

    Bytes expectedData(std::uint32_t sectors, bool withB = true) const {
        Bytes frames;
        for (std::uint32_t s = 0; s < sectors; ++s) {
            const Bytes a = sectorOf(1, s);
            const Bytes b = withB ? sectorOf(2, s) : Bytes(kSector, 0);
            for (std::uint32_t k = 0; k < kSector; k += 2) {
                frames.insert(frames.end(), {a[k], a[k + 1], b[k], b[k + 1]});
            }
        }
        return frames;
    }

    CBlockPort slotA;
    CBlockPort slotB;
    RecordInfo table[1];
    DownloadJob job;
    RecordingHost host;
    test::TempFolder folder;
    test::ScriptedPort* portA = nullptr;
    test::ScriptedPort* portB = nullptr;
    std::uint32_t sectors_ = 0;
};

TEST_F(WorkerOnScriptedPorts, ABatchWithALostByteReachesTheFileOnlyWhenReadAgain) {
    setUpJob(true, 4);
    plugIn();
    Bytes brokenA = reply(1, 0, 4);
    brokenA.erase(brokenA.begin() + kSector + 100);  // inside sector 1 of the batch
    portA->feed(brokenA);
    portB->feed(reply(2, 0, 4));
    run();
    ASSERT_TRUE(host.recoveryTimer) << "the batch's missing acknowledgement is a failure";
    EXPECT_TRUE(fileData().empty()) << "no sector of the failed batch may stay in the file";
    for (const CBlockPort* slot : {&slotA, &slotB}) {
        EXPECT_EQ(slot->sectorIndex, 0u) << "both blocks go back to the batch's first sector";
        EXPECT_EQ(slot->bytesLeft, 4 * kSector);
    }
    EXPECT_EQ(job.jobBytesLeft, job.jobBytesTotal);

    plugIn();
    portA->feed(reply(1, 0, 4));
    portB->feed(reply(2, 0, 4));
    run();
    EXPECT_TRUE(host.finished);
    EXPECT_EQ(portA->written(), (Bytes{0x13, 5, 0, 0, 0, 4}));
    EXPECT_EQ(portB->written(), (Bytes{0x13, 9, 0, 0, 0, 4}));
    EXPECT_TRUE(fileData() == expectedData(4)) << "the resumed file is not what the blocks hold";
}

TEST_F(WorkerOnScriptedPorts, AnAddedByteBehindAFalseAcknowledgementFailsTheSector) {
    for (const bool batches : {false, true}) {
        SCOPED_TRACE(batches ? "batches" : "single sectors");
        slotA = CBlockPort{};
        slotB = CBlockPort{};
        host.recoveryTimer = false;
        setUpJob(batches, 2);
        plugIn();
        Bytes first = reply(1, 0, batches ? 2 : 1);
        first.insert(first.begin() + 7, 0x33);  // the sector's own 0x0E now poses as the ack
        portA->feed(first);
        portB->feed(reply(2, 0, batches ? 2 : 1));
        run();
        ASSERT_TRUE(host.recoveryTimer);
        EXPECT_TRUE(fileData().empty());
        EXPECT_EQ(slotA.sectorIndex, 0u);
        EXPECT_EQ(slotB.sectorIndex, 0u);
    }
}

TEST_F(WorkerOnScriptedPorts, GarbageAfterTheLastAcknowledgementFailsTheSectorEvenWhenLate) {
    for (const bool late : {false, true}) {
        // At once, the check after the acknowledgement sees it; a packet late, only the wait
        // after the record's end does.
        SCOPED_TRACE(late ? "a packet late" : "at once");
        slotA = CBlockPort{};
        slotB = CBlockPort{};
        host = RecordingHost{};
        setUpJob(false, 1);
        plugIn();
        portA->feed(reply(1, 0, 1));
        late ? portA->feedLate({0x5A}) : portA->feed({0x5A});
        portB->feed(reply(2, 0, 1));
        run();
        ASSERT_TRUE(host.recoveryTimer);
        EXPECT_FALSE(host.finished);
        EXPECT_TRUE(fileData().empty());
        EXPECT_EQ(slotA.sectorIndex, 0u);
        EXPECT_EQ(slotB.sectorIndex, 0u);
    }
}

TEST_F(WorkerOnScriptedPorts, AnAcknowledgementPushedBackByAStrayByteFailsTheNextBatchToo) {
    // Behind an adapter, the batch's own last byte (0x0E) passes for its acknowledgement and
    // the real one arrives a packet later, after the check for stray bytes.
    setUpJob(true, 40);
    plugIn();
    Bytes first = reply(1, 0, 20);
    first.insert(first.begin(), 0x33);
    const Bytes realAck(first.end() - 1, first.end());
    first.pop_back();
    portA->feed(first);
    portA->feedLate(realAck);
    portA->feed(reply(1, 20, 20));
    portB->feed(reply(2, 0, 20));
    portB->feedLate(reply(2, 20, 20));
    run();
    ASSERT_TRUE(host.recoveryTimer);
    EXPECT_TRUE(fileData().empty()) << "the misread batch reached the file";
    EXPECT_EQ(slotA.sectorIndex, 0u);
    EXPECT_EQ(slotB.sectorIndex, 0u);

    // Each reply comes only when asked for, or the check after an acknowledgement sees it.
    plugIn();
    portA->feed(reply(1, 0, 20));
    portA->feedLate(reply(1, 20, 20));
    portB->feed(reply(2, 0, 20));
    portB->feedLate(reply(2, 20, 20));
    run();
    EXPECT_TRUE(host.finished);
    EXPECT_TRUE(fileData() == expectedData(40));
}

TEST_F(WorkerOnScriptedPorts, ASectorDuringWhichTheDriverSawLineErrorsIsReadAgain) {
    setUpJob(false, 2);
    plugIn();
    // The whole record arrives, each sector when it is asked for: only the driver's count
    // tells that sector 0 came in damaged.
    portA->feed(reply(1, 0, 1));
    portA->lineErrorAfter(300);  // inside sector 0
    portA->feedLate(reply(1, 1, 1));
    portB->feed(reply(2, 0, 1));
    portB->feedLate(reply(2, 1, 1));
    run();
    ASSERT_TRUE(host.recoveryTimer);
    EXPECT_FALSE(host.finished);
    EXPECT_TRUE(fileData().empty());
    EXPECT_EQ(slotA.sectorIndex, 0u);

    plugIn();
    portA->feed(reply(1, 0, 1));
    portA->feedLate(reply(1, 1, 1));
    portB->feed(reply(2, 0, 1));
    portB->feedLate(reply(2, 1, 1));
    run();
    EXPECT_TRUE(host.finished);
    EXPECT_TRUE(fileData() == expectedData(2));
}

TEST_F(WorkerOnScriptedPorts, ABlockAloneInTheRecordReachesTheFileOnlyWithItsBatchAcknowledged) {
    // The other slot's silent sectors settle at every pair; the batch is still unconfirmed.
    setUpJob(true, 4, false);
    plugIn();
    Bytes brokenA = reply(1, 0, 4);
    brokenA.erase(brokenA.begin() + kSector + 100);  // inside sector 1 of the batch
    portA->feed(brokenA);
    run();
    ASSERT_TRUE(host.recoveryTimer);

    plugIn();
    portA->feed(reply(1, slotA.sectorIndex, 4 - slotA.sectorIndex));
    run();
    EXPECT_TRUE(host.finished);
    EXPECT_TRUE(fileData() == expectedData(4, false)) << "a misaligned sector reached the file";
}

TEST_F(WorkerOnScriptedPorts, EachCheckedReadOfARecordCountsItsFailuresAfresh) {
    setUpJob(false, 2);
    job.verifyReads = true;
    const auto feed = [&](std::uint32_t sectors) {
        plugIn();
        portA->feed(reply(1, 0, 1));
        portB->feed(reply(2, 0, 1));
        if (sectors == 2) {
            portA->feedLate(reply(1, 1, 1));
            portB->feedLate(reply(2, 1, 1));
        }
        run();
    };
    feed(1);  // the first read fails at sector 1
    ASSERT_TRUE(host.recoveryTimer);
    feed(2);  // it ends, and the second read fails at once
    ASSERT_EQ(job.downloadQueue[0].readHashes.size(), 1u);
    ASSERT_EQ(job.retryCount, 1);
    feed(1);  // the second read gets further than it ever got, and fails at sector 1
    EXPECT_EQ(job.retryCount, 1) << "the first read's progress was held against the second";
    host.recoveryTimer = false;
    feed(2);
    EXPECT_TRUE(host.finished);
    EXPECT_FALSE(host.recoveryTimer);
    EXPECT_TRUE(fileData() == expectedData(2));
}

TEST_F(WorkerOnScriptedPorts, DataAboveTheRiffLimitGoToAnRf64FileWithTheSameSamples) {
    setUpJob(true, 4);
    job.riffDataLimit = 2 * 4 * kSector - 1;
    plugIn();
    portA->feed(reply(1, 0, 4));
    portB->feed(reply(2, 0, 4));
    run();
    ASSERT_TRUE(host.finished);
    const Bytes file = test::readFileBytes(folder.file(job.downloadQueue[0].fileName));
    ASSERT_EQ(file.size(), kRf64HeaderSize + 2 * 4 * kSector);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 4), Bytes({'R', 'F', '6', '4'}));
    EXPECT_TRUE(Bytes(file.begin() + kRf64HeaderSize, file.end()) == expectedData(4));
    const DownloadManifest manifest = DownloadManifest::load(folder.path().string());
    ASSERT_EQ(manifest.entries().size(), 1u);
    EXPECT_EQ(manifest.entries().begin()->second.size, file.size());
}

}  // namespace
}  // namespace kelvra
