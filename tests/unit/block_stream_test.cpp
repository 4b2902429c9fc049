#include <gtest/gtest.h>

#include <vector>

#include "link/BlockPort.h"
#include "tests/support/ScriptedPort.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct StreamFixture : ::testing::Test {
    CBlockPort block;
    test::ScriptedPort* port = nullptr;
    std::uint8_t buffer[512] = {};

    void SetUp() override {
        auto scripted = std::make_unique<test::ScriptedPort>();
        port = scripted.get();
        block.handle = std::move(scripted);
        block.present = true;
        block.inRecord = true;
    }
    void mode(bool addressed, bool batches) {
        block.addressedReads = addressed;
        block.batchReads = batches;
    }
    Bytes sector(std::uint8_t fill, std::size_t size = 512) { return Bytes(size, fill); }
};

TEST_F(StreamFixture, BasicStreamLastBlockIsShortAndAckComesAfterItsAa) {
    mode(false, false);
    block.bytesLeft = 1000;
    ASSERT_TRUE(block.startRecord(0x21, 1));
    EXPECT_EQ(port->written(), (Bytes{0x02, 0x21, 0x01}));
    port->feed(sector(0x11));
    ASSERT_TRUE(block.readSector(buffer));
    EXPECT_EQ(port->readSizes(), std::vector<std::size_t>{512});
    EXPECT_EQ(block.bytesLeft, 488u);
    port->feed(sector(0x22, 488));
    port->feed({0x0E});
    ASSERT_TRUE(block.readSector(buffer));
    EXPECT_EQ(port->readSizes(), (std::vector<std::size_t>{512, 488, 1}));
    EXPECT_EQ(port->written(), (Bytes{0x02, 0x21, 0x01, 0xAA, 0xAA}));
    EXPECT_EQ(buffer[487], 0x22);
    EXPECT_EQ(block.bytesLeft, 0u);
    EXPECT_EQ(block.sectorIndex, 2u);
}

TEST_F(StreamFixture, BasicStreamOfExactlyOneSector) {
    mode(false, false);
    block.bytesLeft = 512;
    ASSERT_TRUE(block.startRecord(3, 0));
    port->feed(sector(0x33));
    port->feed({0x0E});
    ASSERT_TRUE(block.readSector(buffer));
    EXPECT_EQ(port->readSizes(), (std::vector<std::size_t>{512, 1}));
    EXPECT_EQ(port->written(), (Bytes{0x02, 0x03, 0x00, 0xAA}));
}

TEST_F(StreamFixture, BasicStreamStartStopsAtTheFirstUnwrittenByte) {
    mode(false, false);
    block.bytesLeft = 512;
    block.sectorIndex = 7;
    port->failWritesAfter(0);
    EXPECT_FALSE(block.startRecord(3, 0));
    EXPECT_TRUE(port->written().empty());
    EXPECT_EQ(block.sectorIndex, 7u) << "counters keep their old values";
}

TEST_F(StreamFixture, BatchOfSeventeenSectorsAndAPart) {
    mode(true, true);
    block.bytesLeft = 17 * 512 + 296;
    ASSERT_TRUE(block.startRecord(5, 2));
    EXPECT_EQ(port->written(), (Bytes{0x13, 5, 2, 0, 0, 18}));
    for (int i = 0; i < 18; ++i) {
        port->feed(sector(static_cast<std::uint8_t>(i)));
    }
    port->feed({0x0E});
    for (int i = 0; i < 18; ++i) {
        ASSERT_TRUE(block.readSector(buffer)) << i;
        EXPECT_EQ(buffer[0], i);
    }
    EXPECT_EQ(port->readSizes(), [] {
        std::vector<std::size_t> sizes(18, 512);
        sizes.push_back(1);
        return sizes;
    }());
    EXPECT_EQ(block.bytesLeft, 0u);
    EXPECT_EQ(port->written().size(), 6u) << "no request after the record's end";
}

TEST_F(StreamFixture, BatchesFollowEachOtherFromTheNextSectorIndex) {
    mode(true, true);
    block.bytesLeft = 25600;
    ASSERT_TRUE(block.startRecord(9, 0));
    for (int batch : {20, 20, 10}) {
        for (int i = 0; i < batch; ++i) {
            port->feed(sector(0x44));
        }
        port->feed({0x0E});
        for (int i = 0; i < batch; ++i) {
            ASSERT_TRUE(block.readSector(buffer));
        }
    }
    EXPECT_EQ(port->written(),
              (Bytes{0x13, 9, 0, 0, 0, 20, 0x13, 9, 0, 20, 0, 20, 0x13, 9, 0, 40, 0, 10}));

    CBlockPort other;
    auto scripted = std::make_unique<test::ScriptedPort>();
    test::ScriptedPort& wire = *scripted;
    other.handle = std::move(scripted);
    other.inRecord = other.addressedReads = other.batchReads = true;
    other.bytesLeft = 15360;
    other.startRecord(9, 0);
    for (int i = 0; i < 20; ++i) {
        wire.feed(sector(0x55));
    }
    wire.feed({0x0E});
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(other.readSector(buffer));
    }
    EXPECT_EQ(wire.written(), (Bytes{0x13, 9, 0, 0, 0, 20, 0x13, 9, 0, 0x14, 0, 0x0A}));
}

TEST_F(StreamFixture, SingleSectorsEachWithItsAck) {
    mode(true, false);
    block.bytesLeft = 1025;
    ASSERT_TRUE(block.startRecord(1, 3));
    for (int i = 0; i < 3; ++i) {
        port->feed(sector(0x66));
        port->feed({0x0E});
        ASSERT_TRUE(block.readSector(buffer));
    }
    EXPECT_EQ(port->written(), (Bytes{0x12, 1, 3, 0, 0, 0x12, 1, 3, 1, 0, 0x12, 1, 3, 2, 0}));
    EXPECT_EQ(port->readSizes(), (std::vector<std::size_t>{512, 1, 512, 1, 512, 1}));
    EXPECT_EQ(block.bytesLeft, 0u);
}

TEST_F(StreamFixture, ShortReadsAreCompletedOrFailWithCountersUnchanged) {
    mode(true, false);
    block.bytesLeft = 2048;
    ASSERT_TRUE(block.startRecord(1, 0));
    port->feed(sector(0x77, 300));
    port->limitNextRead(300);
    port->feed(sector(0x78, 212));
    port->feed({0x0E});
    ASSERT_TRUE(block.readSector(buffer));
    EXPECT_EQ(buffer[299], 0x77);
    EXPECT_EQ(buffer[300], 0x78);
    EXPECT_EQ(port->readSizes(), (std::vector<std::size_t>{512, 212, 1}));

    port->feed(sector(0x79, 300));
    EXPECT_FALSE(block.readSector(buffer));
    EXPECT_EQ(block.sectorIndex, 1u);
    EXPECT_EQ(block.bytesLeft, 1536u);
}

TEST_F(StreamFixture, AWrongAckFailsTheSectorAfterItsData) {
    mode(true, false);
    block.bytesLeft = 1024;
    ASSERT_TRUE(block.startRecord(1, 0));
    port->feed(sector(0x10));
    port->feed({0x55});
    EXPECT_FALSE(block.readSector(buffer));
    EXPECT_EQ(port->unread(), 0u);
    EXPECT_EQ(block.sectorIndex, 0u);
    EXPECT_EQ(block.bytesLeft, 1024u);
}

TEST_F(StreamFixture, ABlockThatTakesNoPartYieldsSilence) {
    mode(true, true);
    block.inRecord = false;
    block.bytesLeft = 700;
    block.sectorIndex = 9;
    block.batchLeft = 4;
    ASSERT_TRUE(block.startRecord(1, 0));
    EXPECT_EQ(block.sectorIndex, 0u);
    EXPECT_EQ(block.batchLeft, 0);
    std::fill(std::begin(buffer), std::end(buffer), std::uint8_t{0xEE});
    ASSERT_TRUE(block.readSector(buffer));
    EXPECT_EQ(Bytes(buffer, buffer + 512), Bytes(512, 0));
    EXPECT_EQ(block.sectorIndex, 1u);
    EXPECT_EQ(block.bytesLeft, 188u);
    ASSERT_TRUE(block.readSector(buffer));
    EXPECT_EQ(block.bytesLeft, 0u);
    EXPECT_TRUE(port->written().empty());
    EXPECT_TRUE(port->readSizes().empty());
}

}  // namespace
}  // namespace kelvra

namespace kelvra {
namespace {

TEST(Capabilities, FollowTheBlocksOwnFirmwareOnly) {
    struct Case {
        int firmware;
        bool addressed;
        bool batches;
    };
    for (const Case& c : {Case{12, false, false}, Case{13, true, false}, Case{21, false, false},
                          Case{22, true, false}, Case{30, false, false}, Case{31, true, false},
                          Case{40, true, true}, Case{45, true, true}, Case{60, true, true},
                          Case{69, true, true}, Case{7, false, false}, Case{72, false, false}}) {
        CBlockPort fresh;
        applyCapabilities(fresh, c.firmware);
        EXPECT_EQ(fresh.addressedReads, c.addressed) << c.firmware;
        EXPECT_EQ(fresh.batchReads, c.batches) << c.firmware;
        // A slot that held a batch block before keeps nothing of it.
        CBlockPort reused;
        applyCapabilities(reused, 60);
        applyCapabilities(reused, c.firmware);
        EXPECT_EQ(reused.addressedReads, c.addressed) << c.firmware;
        EXPECT_EQ(reused.batchReads, c.batches) << c.firmware;
    }
}

}  // namespace
}  // namespace kelvra
