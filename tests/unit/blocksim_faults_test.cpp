#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

#include "tests/support/blocksim_bytes.h"
#include "tools/blocksim/BlockModel.h"

namespace kelvra::test {
namespace {

using blocksim::AckFault;
using blocksim::BlockModel;
using blocksim::BlockSetup;
using blocksim::Exchange;
using blocksim::LineFault;
using blocksim::StreamMode;

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

constexpr std::uint8_t kRecordAddress = 5;

// A block serving record 0 at kRecordAddress in `mode`; from firmware 6.0 on the record holds
// exactly three sectors, so a basic stream ends right after them.
BlockSetup blockServing(StreamMode mode) {
    BlockSetup setup = blockWithEntry();
    setup.firmware = mode == StreamMode::Basic ? 72 : mode == StreamMode::SingleSectors ? 31 : 60;
    setup.entries[0].address = kRecordAddress;
    setup.entries[0].sampleRate = 768;  // 1536 bytes from firmware 6.0 on
    return setup;
}

// Record 0's first three sectors read the way the mode reads them; one reply per request.
std::vector<Bytes> readThreeSectors(BlockModel& block, StreamMode mode) {
    switch (mode) {
        case StreamMode::Basic:
            return {replyTo(block, {0x02, kRecordAddress, 0}), replyTo(block, {0xAA}),
                    replyTo(block, {0xAA}), replyTo(block, {0xAA})};
        case StreamMode::SingleSectors:
            return {replyTo(block, {0x12, kRecordAddress, 0, 0, 0}),
                    replyTo(block, {0x12, kRecordAddress, 0, 1, 0}),
                    replyTo(block, {0x12, kRecordAddress, 0, 2, 0})};
        case StreamMode::Batches:
            return {replyTo(block, {0x13, kRecordAddress, 0, 0, 0, 3})};
    }
    return {};
}

enum class Position { First, Middle, Last };

struct LineCase {
    StreamMode mode;
    LineFault::Kind kind;
    Position position;
};

std::string describe(const LineCase& c) {
    static const char* const kModes[] = {"Basic", "SingleSectors", "Batches"};
    static const char* const kUnits[] = {"Stream", "Run", "Batch"};
    static const char* const kPositions[] = {"First", "Middle", "Last"};
    std::string kind(blocksim::lineFaultKindName(c.kind));
    kind[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(kind[0])));
    const auto mode = static_cast<std::size_t>(c.mode);
    return std::string(kModes[mode]) + "_" + kind + "In" +
           kPositions[static_cast<std::size_t>(c.position)] + "SectorOf" + kUnits[mode];
}

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << describe(c);
}

std::string lineCaseName(const ::testing::TestParamInfo<LineCase>& info) {
    return describe(info.param);
}

class LineFaultOnTheWire : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineFaultOnTheWire, DisturbsOnlyItsSectorAndFiresOnce) {
    const auto [mode, kind, position] = GetParam();
    const auto sector = static_cast<std::size_t>(position);
    LineFault fault;
    fault.kind = kind;
    fault.afterSectors = static_cast<std::uint32_t>(sector);
    if (position != Position::Middle) {  // the middle one keeps the default offset
        fault.offset = position == Position::First ? 0 : 511;
    }
    fault.count = 3;
    fault.bit = 6;

    BlockModel clean(blockServing(mode));
    const std::vector<Bytes> good = readThreeSectors(clean, mode);
    std::vector<Bytes> expected = good;
    // Batches carry all three sectors in one reply; the other modes one sector per reply.
    const std::size_t reply = mode == StreamMode::Batches ? 0 : sector;
    Bytes& hit = expected[reply];
    const auto at =
        hit.begin() + static_cast<std::ptrdiff_t>((mode == StreamMode::Batches ? sector * 512 : 0) +
                                                  fault.offset);
    switch (kind) {
        case LineFault::Kind::Drop:
            hit.erase(at);
            break;
        case LineFault::Kind::Insert:
            hit.insert(at, fault.byte);
            break;
        case LineFault::Kind::Cut:
            hit.erase(at, hit.end());
            if (mode == StreamMode::Basic) {
                for (std::size_t later = reply + 1; later < expected.size(); ++later) {
                    expected[later].clear();
                }
            }
            break;
        case LineFault::Kind::Garbage: {
            Bytes& closing = mode == StreamMode::Basic ? expected.back() : hit;
            closing.insert(closing.end(), fault.count, fault.byte);
            break;
        }
        case LineFault::Kind::Flip:
        case LineFault::Kind::Error:
            *at = static_cast<std::uint8_t>(*at ^ (1u << fault.bit));
            break;
    }

    BlockModel block(blockServing(mode));
    block.armLineFault(fault);
    EXPECT_EQ(readThreeSectors(block, mode), expected);
    EXPECT_EQ(replyTo(block, {0x00}).size(), 9u) << "the block answers afresh";
    EXPECT_EQ(readThreeSectors(block, mode), good) << "the fault fires once";
}

std::vector<LineCase> everyLineCase() {
    std::vector<LineCase> cases;
    for (const StreamMode mode :
         {StreamMode::Basic, StreamMode::SingleSectors, StreamMode::Batches}) {
        for (const LineFault::Kind kind :
             {LineFault::Kind::Drop, LineFault::Kind::Insert, LineFault::Kind::Cut,
              LineFault::Kind::Garbage, LineFault::Kind::Flip, LineFault::Kind::Error}) {
            for (const Position position : {Position::First, Position::Middle, Position::Last}) {
                cases.push_back({mode, kind, position});
            }
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(BlockModelFaults, LineFaultOnTheWire, ::testing::ValuesIn(everyLineCase()),
                         lineCaseName);

TEST(BlockModelFaults, LineFaultsCountTheirSectorsEachFromItsOwnArming) {
    BlockModel block(blockServing(StreamMode::Batches));
    const Bytes request = {0x13, kRecordAddress, 0, 0, 0, 1};
    block.armLineFault(LineFault{LineFault::Kind::Drop, 1, 10, 0x5A, 1});
    const Bytes first = replyTo(block, request);
    EXPECT_EQ(first.size(), 513u);
    block.armLineFault(LineFault{LineFault::Kind::Insert, 0, 10, 0xA5, 1});
    block.armLineFault(LineFault{LineFault::Kind::Garbage, 0, 0, 0x77, 2});

    Bytes expected = first;
    expected[10] = 0xA5;  // the inserted byte takes the place of the dropped one
    expected.insert(expected.end(), {0x77, 0x77});
    EXPECT_EQ(replyTo(block, request), expected);
    EXPECT_TRUE(block.setup().faults.line.empty());
    EXPECT_EQ(replyTo(block, request), first);
}

TEST(BlockModelFaults, GarbageWaitsForAnAcknowledgementThatGoesOut) {
    BlockModel block(blockServing(StreamMode::Batches));
    const Bytes request = {0x13, kRecordAddress, 0, 0, 0, 1};
    const Bytes good = replyTo(block, request);
    block.setAckFault(Exchange::Sector, AckFault{AckFault::Kind::Missing, 0, 0, 1});
    block.armLineFault(LineFault{LineFault::Kind::Garbage, 0, 0, 0x77, 1});
    EXPECT_EQ(replyTo(block, request), Bytes(good.begin(), good.end() - 1));
    EXPECT_EQ(replyTo(block, {0x00}).size(), 9u) << "only record acknowledgements carry it";
    Bytes withGarbage = good;
    withGarbage.push_back(0x77);
    EXPECT_EQ(replyTo(block, request), withGarbage);
}

TEST(BlockModelFaults, OffsetPastAShortLastBlockHitsItsEnd) {
    BlockSetup setup = blockServing(StreamMode::Basic);
    setup.entries[0].sampleRate = 300;  // 600 bytes: a block of 512 and one of 88
    BlockModel clean(setup);
    replyTo(clean, {0x02, kRecordAddress, 0});
    const Bytes tail = replyTo(clean, {0xAA});
    ASSERT_EQ(tail.size(), 88u);

    BlockModel dropped(setup);
    dropped.armLineFault(LineFault{LineFault::Kind::Drop, 1, 300, 0x5A, 1});
    replyTo(dropped, {0x02, kRecordAddress, 0});
    EXPECT_EQ(replyTo(dropped, {0xAA}), Bytes(tail.begin(), tail.end() - 1));

    BlockModel flipped(setup);
    flipped.armLineFault(LineFault{LineFault::Kind::Flip, 1, 300, 0x5A, 1, 0});
    replyTo(flipped, {0x02, kRecordAddress, 0});
    Bytes lastFlipped = tail;
    lastFlipped.back() ^= 1u;
    EXPECT_EQ(replyTo(flipped, {0xAA}), lastFlipped);

    BlockModel cut(setup);
    cut.armLineFault(LineFault{LineFault::Kind::Cut, 1, 300, 0x5A, 1});
    replyTo(cut, {0x02, kRecordAddress, 0});
    EXPECT_EQ(replyTo(cut, {0xAA}), tail);
    EXPECT_TRUE(replyTo(cut, {0xAA}).empty()) << "no 0E: the stream ended with the cut";
}

}  // namespace
}  // namespace kelvra::test
