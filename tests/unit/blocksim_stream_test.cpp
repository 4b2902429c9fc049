#include <gtest/gtest.h>

#include "tests/support/blocksim_bytes.h"
#include "tools/blocksim/BlockModel.h"

namespace kelvra::test {
namespace {

using blocksim::BlockModel;
using blocksim::BlockSetup;
using blocksim::EntrySetup;

constexpr std::uint8_t kAddress = 5;

// A block whose entry at kAddress holds two records of sampleRate x duration samples.
BlockSetup blockWithRecord(std::uint8_t firmware, std::uint16_t sampleRate,
                           std::uint16_t duration = 1) {
    BlockSetup setup;
    setup.serialYear = 18;
    setup.serialNumber = 42;
    setup.firmware = firmware;
    EntrySetup entry;
    entry.address = kAddress;
    entry.recordCount = 2;
    entry.sampleRate = sampleRate;
    entry.duration = duration;
    setup.entries = {entry};
    return setup;
}

Bytes sectorRequest(std::uint8_t record, std::uint16_t sector) {
    return {0x12, kAddress, record, static_cast<std::uint8_t>(sector & 0xFF),
            static_cast<std::uint8_t>(sector >> 8)};
}

Bytes batchRequest(std::uint8_t record, std::uint16_t sector, std::uint8_t count) {
    return {0x13,
            kAddress,
            record,
            static_cast<std::uint8_t>(sector & 0xFF),
            static_cast<std::uint8_t>(sector >> 8),
            count};
}

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(BlockModelStream, BasicModeSendsBlocksUpToFiveHundredTwelveAndAcksAfterTheLastAA) {
    for (const std::size_t length : {500u, 512u, 1000u, 1024u}) {
        SCOPED_TRACE(length);
        BlockModel block(blockWithRecord(72, static_cast<std::uint16_t>(length / 2)));
        Bytes data = replyTo(block, {0x02, kAddress, 1});
        EXPECT_EQ(data.size(), std::min<std::size_t>(512, length));
        while (data.size() < length) {
            const Bytes next = replyTo(block, {0xAA});
            ASSERT_FALSE(next.empty());
            EXPECT_EQ(next.size(), std::min<std::size_t>(512, length - data.size()));
            data = concat(data, next);
        }
        EXPECT_EQ(data, recordBytes(block.setup(), kAddress, 1, 0, length));
        EXPECT_EQ(replyTo(block, {0xAA}), Bytes{0x0E}) << "0E only after the last AA";
        EXPECT_TRUE(replyTo(block, {0xAA}).empty()) << "the stream is over";
    }
}

TEST(BlockModelStream, BasicModeOldFirmwareStreamsItsFixedLength) {
    BlockModel block(blockWithRecord(12, 8000, 3));  // the entry's rate is not used below 6.0
    Bytes data = replyTo(block, {0x02, kAddress, 0});
    std::size_t blocks = 1;
    Bytes next;
    while ((next = replyTo(block, {0xAA})) != Bytes{0x0E}) {
        ASSERT_FALSE(next.empty());
        data.insert(data.end(), next.begin(), next.end());
        ++blocks;
    }
    EXPECT_EQ(data.size(), 120u * 21333 * 2);
    EXPECT_EQ(blocks, 10000u);
    EXPECT_EQ(next, Bytes{0x0E});
    EXPECT_EQ(data, recordBytes(block.setup(), kAddress, 0, 0, data.size()));
}

TEST(BlockModelStream, BasicStreamEndsWhenTheToolSendsSomethingElse) {
    BlockModel block(blockWithRecord(72, 4000));
    EXPECT_EQ(replyTo(block, {0x02, kAddress, 0}).size(), 512u);
    EXPECT_EQ(replyTo(block, {0x00}).size(), 9u) << "a new request is served";
    EXPECT_TRUE(replyTo(block, {0xAA}).empty());
    EXPECT_TRUE(replyTo(block, {0x02, 9, 0}).empty()) << "no entry at address 9";
}

TEST(BlockModelStream, SingleSectorsArePaddedPastTheRecordEnd) {
    BlockModel block(blockWithRecord(31, 8000));
    const BlockSetup& setup = block.setup();
    const std::uint64_t length = 120ull * 21333 * 2;  // 9999 whole sectors and 432 bytes

    EXPECT_EQ(replyTo(block, sectorRequest(0, 0)),
              concat(recordBytes(setup, kAddress, 0, 0, 512), Bytes{0x0E}));
    EXPECT_EQ(replyTo(block, sectorRequest(1, 300)),
              concat(recordBytes(setup, kAddress, 1, 300 * 512, 512), Bytes{0x0E}));

    const Bytes last = replyTo(block, sectorRequest(0, 9999));
    ASSERT_EQ(last.size(), 513u);
    EXPECT_EQ(Bytes(last.begin(), last.begin() + 432),
              recordBytes(setup, kAddress, 0, 9999 * 512, length - 9999 * 512));
    EXPECT_EQ(Bytes(last.begin() + 432, last.end() - 1), Bytes(80, 0));
    EXPECT_EQ(last.back(), 0x0E);

    EXPECT_EQ(replyTo(block, sectorRequest(0, 10000)), concat(Bytes(512, 0), Bytes{0x0E}));
}

TEST(BlockModelStream, BatchesSendCountSectorsAndOneAck) {
    BlockModel whole(blockWithRecord(60, 7680));  // 15360 bytes: batches of 20 and 10
    const Bytes first = replyTo(whole, batchRequest(0, 0, 20));
    const Bytes second = replyTo(whole, batchRequest(0, 20, 10));
    ASSERT_EQ(first.size(), 20 * 512 + 1u);
    ASSERT_EQ(second.size(), 10 * 512 + 1u);
    EXPECT_EQ(first.back(), 0x0E);
    EXPECT_EQ(second.back(), 0x0E);
    EXPECT_EQ(
        concat(Bytes(first.begin(), first.end() - 1), Bytes(second.begin(), second.end() - 1)),
        recordBytes(whole.setup(), kAddress, 0, 0, 15360));

    BlockModel partial(blockWithRecord(45, 4500));  // fixed length below 6.0: sectors of data
    const Bytes batch = replyTo(partial, batchRequest(1, 2, 18));
    ASSERT_EQ(batch.size(), 18 * 512 + 1u);
    EXPECT_EQ(Bytes(batch.begin(), batch.end() - 1),
              recordBytes(partial.setup(), kAddress, 1, 2 * 512, 18 * 512));

    BlockModel shortRecord(blockWithRecord(60, 4500));  // 9000 bytes: 17 sectors and 296
    const Bytes tail = replyTo(shortRecord, batchRequest(0, 0, 18));
    ASSERT_EQ(tail.size(), 18 * 512 + 1u);
    EXPECT_EQ(Bytes(tail.begin(), tail.begin() + 9000),
              recordBytes(shortRecord.setup(), kAddress, 0, 0, 9000));
    EXPECT_EQ(Bytes(tail.begin() + 9000, tail.end() - 1), Bytes(18 * 512 - 9000, 0));
}

TEST(BlockModelStream, BatchCountOutsideOneToTwentyIsNotServed) {
    BlockModel block(blockWithRecord(60, 7680));
    EXPECT_TRUE(replyTo(block, batchRequest(0, 0, 0)).empty());
    EXPECT_TRUE(replyTo(block, batchRequest(0, 0, 21)).empty());
    // The count may come in a write of its own.
    EXPECT_TRUE(replyTo(block, {0x13, kAddress, 0, 0, 0}).empty());
    EXPECT_EQ(replyTo(block, {1}).size(), 513u);
}

TEST(BlockModelStream, SixteenBitSectorIndexIsPlacedNearTheReadingPosition) {
    // 65535 x 600 x 2 bytes: about 153600 sectors, more than the index can name.
    BlockModel block(blockWithRecord(60, 65535, 600));
    const BlockSetup& setup = block.setup();
    EXPECT_EQ(replyTo(block, batchRequest(0, 0xFFFF, 1)),
              concat(recordBytes(setup, kAddress, 0, 65535ull * 512, 512), Bytes{0x0E}));
    EXPECT_EQ(replyTo(block, batchRequest(0, 0, 2)),
              concat(recordBytes(setup, kAddress, 0, 65536ull * 512, 1024), Bytes{0x0E}))
        << "sector 65536 goes out as index 0";

    BlockModel fresh(blockWithRecord(60, 65535, 600));
    EXPECT_EQ(replyTo(fresh, batchRequest(0, 0, 1)),
              concat(recordBytes(setup, kAddress, 0, 0, 512), Bytes{0x0E}));
}

TEST(BlockModelStream, SectorAckFaultSpoilsTheChosenBatch) {
    BlockModel block(blockWithRecord(60, 7680));
    block.setAckFault(blocksim::Exchange::Sector,
                      blocksim::AckFault{blocksim::AckFault::Kind::Wrong, 0x55, 1, 1});
    EXPECT_EQ(replyTo(block, batchRequest(0, 0, 2)).back(), 0x0E);
    EXPECT_EQ(replyTo(block, batchRequest(0, 2, 2)).back(), 0x55);
    EXPECT_EQ(replyTo(block, batchRequest(0, 4, 2)).back(), 0x0E);
}

TEST(BlockModelStream, UnplugFaultFiresAfterItsSectors) {
    {
        BlockModel batch(blockWithRecord(60, 30000));
        batch.armUnplug(blocksim::UnplugFault{25, 3000, true});
        EXPECT_EQ(replyTo(batch, batchRequest(0, 0, 20)).size(), 20 * 512 + 1u);
        EXPECT_FALSE(batch.unplugDue());
        const Bytes cut = replyTo(batch, batchRequest(0, 20, 20));
        EXPECT_EQ(cut, recordBytes(batch.setup(), kAddress, 0, 20 * 512, 5 * 512))
            << "five sectors, and no ack for the unfinished batch";
        ASSERT_TRUE(batch.unplugDue());
        EXPECT_EQ(batch.unplugDue()->forMs, 3000u);
        EXPECT_TRUE(batch.unplugDue()->otherSlot);
        EXPECT_TRUE(replyTo(batch, {0x00}).empty()) << "gone blocks answer nothing";

        batch.reset();
        EXPECT_FALSE(batch.unplugDue());
        EXPECT_FALSE(batch.setup().faults.unplug) << "the fault fires once";
        EXPECT_EQ(replyTo(batch, {0x00}).size(), 9u);
    }
    {
        BlockModel single(blockWithRecord(31, 8000));
        single.armUnplug(blocksim::UnplugFault{2, 0, false});
        EXPECT_EQ(replyTo(single, sectorRequest(0, 0)).size(), 513u);
        EXPECT_EQ(replyTo(single, sectorRequest(0, 1)).size(), 513u)
            << "the ack right after the last sector still goes out";
        EXPECT_TRUE(single.unplugDue());
        EXPECT_TRUE(replyTo(single, sectorRequest(0, 2)).empty());
    }
    {
        BlockModel basic(blockWithRecord(72, 4000));
        basic.armUnplug(blocksim::UnplugFault{1, 0, false});
        EXPECT_EQ(replyTo(basic, {0x02, kAddress, 0}).size(), 512u);
        EXPECT_TRUE(basic.unplugDue());
        EXPECT_TRUE(replyTo(basic, {0xAA}).empty());
    }
}

}  // namespace
}  // namespace kelvra::test
