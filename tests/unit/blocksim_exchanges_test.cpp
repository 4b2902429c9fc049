#include <gtest/gtest.h>

#include "tests/support/blocksim_bytes.h"
#include "tools/blocksim/BlockModel.h"

namespace kelvra::test {
namespace {

using blocksim::BlockModel;
using blocksim::BlockSetup;
using blocksim::EntrySetup;

BlockSetup identity(std::uint8_t firmware) {
    BlockSetup setup;
    setup.serialYear = 18;
    setup.serialNumber = 0x0201;
    setup.firmware = firmware;
    setup.roleA = true;
    setup.service = true;
    return setup;
}

EntrySetup detailedEntry() {
    EntrySetup entry;
    entry.lead = 0x7C;
    entry.recordCount = 7;
    entry.entryInfo = {1, 2, 3, 4};
    entry.address = 0x21;
    entry.time = blocksim::bcdDateTime(2018, 3, 5, 14, 7, 9);
    entry.roleA = false;
    entry.setting1 = {5, 6, 7, 8};
    entry.setting2 = {9, 10, 11, 12};
    entry.sampleRate = 21333;
    entry.duration = 180;
    return entry;
}

EntrySetup plainEntry(std::uint8_t address) {
    EntrySetup entry;
    entry.address = address;
    entry.time = blocksim::bcdDateTime(2018, 3, 5, 14, 7, 9);
    entry.sampleRate = 8000;
    entry.duration = 2;
    return entry;
}

TEST(BlockModelExchanges, HelloSendsGreetingParametersAndAck) {
    BlockModel block(identity(42));
    EXPECT_EQ(replyTo(block, {0x00}), (Bytes{0x55, 18, 0x01, 0x02, 42, 0x82, 0x00, 0x00, 0x0E}));

    BlockSetup roleB = identity(7);
    roleB.roleA = false;
    roleB.service = false;
    BlockModel blockB(roleB);
    EXPECT_EQ(replyTo(blockB, {0x00}), (Bytes{0x55, 18, 0x01, 0x02, 7, 0x00, 0x00, 0x00, 0x0E}));
}

TEST(BlockModelExchanges, HelloFlagsCarryRoleAndServiceApart) {
    struct Case {
        bool roleA;
        bool service;
        std::uint8_t flags;
    };
    for (const Case& c : {Case{true, true, 0x82}, Case{false, true, 0x80}, Case{true, false, 0x02},
                          Case{false, false, 0x00}}) {
        BlockSetup setup = identity(42);
        setup.roleA = c.roleA;
        setup.service = c.service;
        BlockModel block(setup);
        EXPECT_EQ(replyTo(block, {0x00}), (Bytes{0x55, 18, 0x01, 0x02, 42, c.flags, 0, 0, 0x0E}))
            << "block " << (c.roleA ? "A" : "B") << (c.service ? " with" : " without")
            << " the service flag";
    }
}

TEST(BlockModelExchanges, DirectoryEntriesFollowTheWireLayout) {
    BlockSetup setup = identity(60);
    setup.entries = {detailedEntry(), plainEntry(0x22)};
    BlockModel block(setup);
    const Bytes reply = replyTo(block, {0x01});

    const Bytes first = {0x7C, 0x07, 0x01, 0x02, 0x03, 0x04, 0x21, 0x00,  //
                         0x09, 0x07, 0x14, 0x05, 0x03, 0x18, 0x00, 0x00,  //
                         0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C,  //
                         0x55, 0x53, 0xB4, 0x00, 0x00, 0x00, 0x00, 0x00};
    ASSERT_EQ(reply.size(), 2 * 32 + 2u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 32), first);
    EXPECT_EQ(reply[32 + 6], 0x22);
    EXPECT_EQ(reply[32 + 14], 0x02) << "an entry made as block A carries the role bit";
    EXPECT_EQ(reply[32 + 24], 0x40);  // 8000 = 0x1F40
    EXPECT_EQ(reply[32 + 25], 0x1F);
    EXPECT_EQ(Bytes(reply.end() - 2, reply.end()), (Bytes{0xFF, 0x0E}));
}

TEST(BlockModelExchanges, DirectoryEndsWithoutDirEndAfterFortyOneEntries) {
    BlockSetup empty = identity(60);
    BlockModel emptyBlock(empty);
    EXPECT_EQ(replyTo(emptyBlock, {0x01}), (Bytes{0xFF, 0x0E}));

    for (const std::size_t held : {40u, 41u, 42u}) {
        BlockSetup setup = identity(60);
        for (std::size_t i = 0; i < held; ++i) {
            setup.entries.push_back(plainEntry(static_cast<std::uint8_t>(i)));
        }
        BlockModel block(setup);
        const Bytes reply = replyTo(block, {0x01});
        if (held == 40) {
            ASSERT_EQ(reply.size(), 40 * 32 + 2u);
            EXPECT_EQ(reply[40 * 32], 0xFF);
        } else {
            // The 41st entry is the last one that fits; 0E follows it directly.
            ASSERT_EQ(reply.size(), 41 * 32 + 1u) << held << " entries";
            EXPECT_EQ(reply[40 * 32 + 6], 40);
        }
        EXPECT_EQ(reply.back(), 0x0E);
    }
}

TEST(BlockModelExchanges, ClockClearAndDeleteChangeTheBlock) {
    BlockSetup setup = identity(60);
    setup.entries = {plainEntry(1), plainEntry(2), plainEntry(3)};
    BlockModel block(setup);

    EXPECT_EQ(replyTo(block, {0x05, 0x30, 0x15, 0x09, 0x21, 0x06, 0x18}), Bytes{0x0E});
    ASSERT_TRUE(block.setup().clock.has_value());
    EXPECT_EQ(*block.setup().clock, (blocksim::BcdDateTime{0x30, 0x15, 0x09, 0x21, 0x06, 0x18}));

    EXPECT_EQ(replyTo(block, {0x03, 2}), Bytes{0x0E});
    ASSERT_EQ(block.setup().entries.size(), 2u);
    EXPECT_EQ(block.setup().entries[0].address, 1);
    EXPECT_EQ(block.setup().entries[1].address, 3);
    EXPECT_EQ(replyTo(block, {0x03, 9}), Bytes{0x0E}) << "an unknown address is still answered";
    EXPECT_EQ(block.setup().entries.size(), 2u);
    EXPECT_EQ(replyTo(block, {0x01}).size(), 2 * 32 + 2u);

    EXPECT_EQ(replyTo(block, {0x04}), Bytes{0x0E});
    EXPECT_TRUE(block.setup().entries.empty());
    EXPECT_EQ(replyTo(block, {0x01}), (Bytes{0xFF, 0x0E}));
}

Bytes configFrame(std::uint8_t byte1, std::uint16_t word2, std::uint8_t subCommand,
                  std::uint16_t word7) {
    Bytes frame(17, 0);
    frame[0] = 0x06;
    frame[1] = byte1;
    frame[2] = static_cast<std::uint8_t>(word2 & 0xFF);
    frame[3] = static_cast<std::uint8_t>(word2 >> 8);
    frame[4] = 0xFF;
    frame[5] = 0xFF;
    frame[6] = subCommand;
    frame[7] = static_cast<std::uint8_t>(word7 & 0xFF);
    frame[8] = static_cast<std::uint8_t>(word7 >> 8);
    return frame;
}

TEST(BlockModelExchanges, ConfigFramesAreLoggedAndSetTheIdentity) {
    BlockModel block(identity(42));

    const Bytes serialFrame = configFrame(19, 777, 0xFF, 0xFFFF);
    EXPECT_EQ(replyTo(block, serialFrame), Bytes{0x0E});
    EXPECT_EQ(block.setup().serialYear, 19);
    EXPECT_EQ(block.setup().serialNumber, 777);
    EXPECT_EQ(replyTo(block, {0x00}), (Bytes{0x55, 19, 0x09, 0x03, 42, 0x82, 0, 0, 0x0E}));

    // The value frame leaves the year alone; 0xFFFF leaves the number alone.
    EXPECT_EQ(replyTo(block, configFrame(0xFF, 778, 0xFF, 0x1234)), Bytes{0x0E});
    EXPECT_EQ(block.setup().serialYear, 19);
    EXPECT_EQ(block.setup().serialNumber, 778);
    EXPECT_EQ(replyTo(block, configFrame(0xFF, 0xFFFF, 0xFF, 0x1234)), Bytes{0x0E});
    EXPECT_EQ(block.setup().serialNumber, 778);

    // Other sub-commands are only answered and logged.
    EXPECT_EQ(replyTo(block, configFrame(18, 5, 2, 0)), Bytes{0x0E});
    EXPECT_EQ(block.setup().serialYear, 19);
    EXPECT_TRUE(block.setup().roleA);

    ASSERT_EQ(block.configFrames().size(), 4u);
    EXPECT_EQ(Bytes(block.configFrames()[0].begin(), block.configFrames()[0].end()), serialFrame);
    EXPECT_EQ(block.configFrames()[3][6], 2);
}

TEST(BlockModelExchanges, SessionStrideFollowsTheFirmware) {
    EXPECT_EQ(blocksim::sessionStride(42), 4u * 9999 + 6);  // 120 s at 21333
    EXPECT_EQ(blocksim::sessionStride(49), 4u * 9999 + 6);
    EXPECT_EQ(blocksim::sessionStride(50), 4u * 10013 + 6);  // 120 s at 21362
    EXPECT_EQ(blocksim::sessionStride(59), 4u * 10013 + 6);
    EXPECT_EQ(blocksim::sessionStride(60), 4u * 15020 + 6);  // 180 s at 21362
}

Bytes readSector(std::uint32_t address) {
    return {0x08, static_cast<std::uint8_t>(address & 0xFF),
            static_cast<std::uint8_t>((address >> 8) & 0xFF),
            static_cast<std::uint8_t>((address >> 16) & 0xFF),
            static_cast<std::uint8_t>(address >> 24)};
}

TEST(BlockModelExchanges, ReadSectorFindsSessionHeadersAtTheirStride) {
    for (const int version : {42, 55, 60}) {
        const auto firmware = static_cast<std::uint8_t>(version);
        BlockSetup setup = identity(firmware);
        blocksim::SessionHeader first{};
        first.fill(0x11);
        blocksim::SessionHeader second{};
        second.fill(0x22);
        setup.sessions = {first, second};
        BlockModel block(setup);
        const std::uint32_t stride = blocksim::sessionStride(firmware);

        const Bytes atFirst = replyTo(block, readSector(2));
        ASSERT_EQ(atFirst.size(), 513u);
        EXPECT_EQ(Bytes(atFirst.begin(), atFirst.begin() + 32), Bytes(32, 0x11));
        EXPECT_EQ(Bytes(atFirst.begin() + 32, atFirst.end() - 1), Bytes(480, 0xFF));
        EXPECT_EQ(atFirst.back(), 0x0E);

        const Bytes atSecond = replyTo(block, readSector(2 + stride));
        EXPECT_EQ(Bytes(atSecond.begin(), atSecond.begin() + 32), Bytes(32, 0x22))
            << "firmware " << version;

        for (const std::uint32_t empty : {0u, 3u, 1 + stride, 2 + 2 * stride}) {
            const Bytes sector = replyTo(block, readSector(empty));
            EXPECT_EQ(Bytes(sector.begin(), sector.end() - 1), Bytes(512, 0xFF))
                << "sector " << empty;
        }
    }
}

TEST(BlockModelExchanges, RequestsMayArriveInPieces) {
    BlockModel block(identity(60));
    const Bytes clock = {0x05, 0x30, 0x15, 0x09, 0x21, 0x06, 0x18};
    for (std::size_t i = 0; i + 1 < clock.size(); ++i) {
        EXPECT_TRUE(replyTo(block, {clock[i]}).empty());
    }
    EXPECT_EQ(replyTo(block, {clock.back()}), Bytes{0x0E});
    EXPECT_EQ(block.received(), clock);

    // Several requests in one piece are answered in order.
    EXPECT_EQ(replyTo(block, {0x04, 0x03, 0x05}), (Bytes{0x0E, 0x0E}));
}

TEST(BlockModelExchanges, UnknownBytesAndOtherModesRequestsAreIgnored) {
    const Bytes hello = {0x55, 18, 0x01, 0x02, 12, 0x82, 0, 0, 0x0E};
    BlockModel basic(identity(12));
    EXPECT_TRUE(replyTo(basic, {0x07, 0x99, 0xAA, 0x0E}).empty());
    // Arguments of a request the block does not take are not read as requests of their own.
    EXPECT_EQ(replyTo(basic, {0x12, 0x01, 0x00, 0x00, 0x00, 0x00}), hello);
    EXPECT_EQ(replyTo(basic, {0x13, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00}), hello);

    BlockSetup batchSetup = identity(45);
    batchSetup.entries = {plainEntry(1)};
    BlockModel batch(batchSetup);
    const Bytes batchHello = {0x55, 18, 0x01, 0x02, 45, 0x82, 0, 0, 0x0E};
    EXPECT_EQ(replyTo(batch, {0x02, 0x01, 0x00, 0x00}), batchHello);
    EXPECT_EQ(replyTo(batch, {0x12, 0x01, 0x00, 0x00, 0x00, 0x00}), batchHello);
}

TEST(BlockModelExchanges, PowerCycleDropsHalfRequestsAndKeepsMemory) {
    BlockSetup setup = identity(60);
    setup.entries = {plainEntry(1)};
    BlockModel block(setup);
    block.receive(Bytes{0x00}.data(), 1);
    block.receive(Bytes{0x05, 0x30}.data(), 2);
    block.reset();
    EXPECT_EQ(block.pendingOutput(), 0u);
    EXPECT_EQ(replyTo(block, {0x00}).size(), 9u) << "the greeting is not taken as clock bytes";
    EXPECT_EQ(block.setup().entries.size(), 1u);
    EXPECT_EQ(block.received(), (Bytes{0x00, 0x05, 0x30, 0x00}));
}

}  // namespace
}  // namespace kelvra::test
