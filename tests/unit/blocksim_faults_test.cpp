#include <gtest/gtest.h>

#include "tests/support/blocksim_bytes.h"
#include "tools/blocksim/BlockModel.h"

namespace kelvra::test {
namespace {

using blocksim::AckFault;
using blocksim::BlockModel;
using blocksim::BlockSetup;
using blocksim::Exchange;

BlockSetup blockWithEntry() {
    BlockSetup setup;
    setup.serialYear = 18;
    setup.serialNumber = 42;
    setup.firmware = 60;
    blocksim::EntrySetup entry;
    entry.address = 1;
    entry.sampleRate = 4000;
    entry.duration = 1;
    setup.entries = {entry};
    return setup;
}

struct AckCase {
    Exchange exchange;
    Bytes request;
    std::size_t replyLength;  // with the closing byte
};

TEST(BlockModelFaults, WrongOrMissingAckReplacesOnlyTheClosingByte) {
    const std::vector<AckCase> cases = {
        {Exchange::Hello, {0x00}, 9},
        {Exchange::Directory, {0x01}, 32 + 2},
        {Exchange::Clock, {0x05, 0, 0, 0, 1, 1, 18}, 1},
        {Exchange::Clear, {0x04}, 1},
        {Exchange::Delete, {0x03, 7}, 1},
        {Exchange::Config, Bytes(17, 0x06), 1},
        {Exchange::ReadSector, {0x08, 2, 0, 0, 0}, 513},
        {Exchange::Sector, {0x13, 1, 0, 0, 0, 2}, 2 * 512 + 1},
    };
    for (const AckCase& c : cases) {
        SCOPED_TRACE(std::string(blocksim::exchangeName(c.exchange)));
        BlockModel good(blockWithEntry());
        const Bytes expected = replyTo(good, c.request);
        ASSERT_EQ(expected.size(), c.replyLength);
        ASSERT_EQ(expected.back(), 0x0E);

        BlockSetup wrongSetup = blockWithEntry();
        wrongSetup.faults.ack(c.exchange) = AckFault{AckFault::Kind::Wrong, 0x55, 0, 0};
        BlockModel wrong(wrongSetup);
        Bytes wrongReply = expected;
        wrongReply.back() = 0x55;
        EXPECT_EQ(replyTo(wrong, c.request), wrongReply);

        BlockSetup missingSetup = blockWithEntry();
        missingSetup.faults.ack(c.exchange) = AckFault{AckFault::Kind::Missing, 0, 0, 0};
        BlockModel missing(missingSetup);
        EXPECT_EQ(replyTo(missing, c.request), Bytes(expected.begin(), expected.end() - 1));

        const Exchange other = c.exchange == Exchange::Clear ? Exchange::Clock : Exchange::Clear;
        const Bytes otherRequest =
            other == Exchange::Clear ? Bytes{0x04} : Bytes{0x05, 0, 0, 0, 1, 1, 18};
        EXPECT_EQ(replyTo(missing, otherRequest), Bytes{0x0E}) << "other exchanges stay good";
    }
}

TEST(BlockModelFaults, AckFaultCountsGoodOnesFirstThenSpoilsSome) {
    BlockModel block(blockWithEntry());
    block.setAckFault(Exchange::Clear, AckFault{AckFault::Kind::Wrong, 0x42, 1, 2});
    EXPECT_EQ(replyTo(block, {0x04}), Bytes{0x0E});
    EXPECT_EQ(replyTo(block, {0x04}), Bytes{0x42});
    EXPECT_EQ(replyTo(block, {0x04}), Bytes{0x42});
    EXPECT_FALSE(block.setup().faults.ack(Exchange::Clear).has_value()) << "used up";
    EXPECT_EQ(replyTo(block, {0x04}), Bytes{0x0E});

    block.setAckFault(Exchange::Clear, AckFault{AckFault::Kind::Missing, 0, 0, 0});
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(replyTo(block, {0x04}).empty()) << "times 0 spoils every one";
    }
    block.setAckFault(Exchange::Clear, std::nullopt);
    EXPECT_EQ(replyTo(block, {0x04}), Bytes{0x0E});
}

TEST(BlockModelFaults, ShortParametersStopAfterTheGivenCount) {
    BlockModel block(blockWithEntry());
    block.setShortParams(3);
    EXPECT_EQ(replyTo(block, {0x00}), (Bytes{0x55, 18, 42, 0}));
    block.setShortParams(0);
    EXPECT_EQ(replyTo(block, {0x00}), Bytes{0x55});
    block.setShortParams(std::nullopt);
    EXPECT_EQ(replyTo(block, {0x00}).size(), 9u);
}

TEST(BlockModelFaults, SilentBlockAnswersNothingButHearsEverything) {
    BlockSetup setup = blockWithEntry();
    setup.faults.silent = true;
    BlockModel block(setup);
    EXPECT_TRUE(replyTo(block, {0x00, 0x01, 0x04}).empty());
    EXPECT_EQ(block.setup().entries.size(), 1u) << "a silent block does not act either";
    EXPECT_EQ(block.received(), (Bytes{0x00, 0x01, 0x04}));
    block.setSilent(false);
    EXPECT_EQ(replyTo(block, {0x00}).size(), 9u);
}

}  // namespace
}  // namespace kelvra::test
