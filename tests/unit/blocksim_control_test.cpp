#include <gtest/gtest.h>

#include "tests/support/blocksim_bytes.h"
#include "tools/blocksim/ControlCommand.h"

namespace kelvra::test {
namespace {

using blocksim::ControlCommand;

ControlCommand parsed(const std::string& line) {
    auto result = blocksim::parseControlCommand(line);
    if (const auto* error = std::get_if<std::string>(&result)) {
        ADD_FAILURE() << line << ": " << *error;
        return {};
    }
    return std::get<ControlCommand>(result);
}

std::string errorOf(const std::string& line) {
    auto result = blocksim::parseControlCommand(line);
    const auto* error = std::get_if<std::string>(&result);
    return error != nullptr ? *error : "accepted";
}

TEST(ControlCommand, ParsesEveryCommand) {
    const ControlCommand unplug = parsed("unplug COM3 3000");
    EXPECT_EQ(unplug.kind, ControlCommand::Kind::Unplug);
    EXPECT_EQ(unplug.com, 3);
    EXPECT_EQ(unplug.unplug.forMs, 3000u);
    EXPECT_FALSE(unplug.unplug.otherSlot);

    const ControlCommand after = parsed("  unplug-after COM29 0x10 250 swap\r");
    EXPECT_EQ(after.kind, ControlCommand::Kind::UnplugAfter);
    EXPECT_EQ(after.com, 29);
    EXPECT_EQ(after.unplug.afterSectors, 16u);
    EXPECT_EQ(after.unplug.forMs, 250u);
    EXPECT_TRUE(after.unplug.otherSlot);

    EXPECT_TRUE(parsed("silence COM1 on").on);
    EXPECT_FALSE(parsed("silence COM1 off").on);

    const ControlCommand wrong = parsed("fault COM3 wrong-ack sector 0x55 after 2 times 1");
    EXPECT_EQ(wrong.kind, ControlCommand::Kind::AckFault);
    EXPECT_EQ(wrong.exchange, blocksim::Exchange::Sector);
    EXPECT_EQ(wrong.ack.kind, blocksim::AckFault::Kind::Wrong);
    EXPECT_EQ(wrong.ack.byte, 0x55);
    EXPECT_EQ(wrong.ack.after, 2u);
    EXPECT_EQ(wrong.ack.times, 1u);

    const ControlCommand missing = parsed("fault COM3 missing-ack read-sector");
    EXPECT_EQ(missing.exchange, blocksim::Exchange::ReadSector);
    EXPECT_EQ(missing.ack.kind, blocksim::AckFault::Kind::Missing);

    EXPECT_EQ(parsed("fault COM3 short-params 3").parameterBytes, 3);
    using blocksim::LineFault;
    const ControlCommand drop = parsed("line COM3 drop 30");
    EXPECT_EQ(drop.kind, ControlCommand::Kind::LineFault);
    EXPECT_EQ(drop.com, 3);
    EXPECT_EQ(drop.line.kind, LineFault::Kind::Drop);
    EXPECT_EQ(drop.line.afterSectors, 30u);
    EXPECT_EQ(drop.line.offset, 256) << "the default";
    const ControlCommand insert = parsed("line COM3 insert 0 511 0xFF");
    EXPECT_EQ(insert.line.kind, LineFault::Kind::Insert);
    EXPECT_EQ(insert.line.offset, 511);
    EXPECT_EQ(insert.line.byte, 0xFF);
    EXPECT_EQ(parsed("line COM3 insert 0").line.byte, 0x5A) << "the default";
    const ControlCommand cut = parsed("line COM3 cut 2 0");
    EXPECT_EQ(cut.line.kind, LineFault::Kind::Cut);
    EXPECT_EQ(cut.line.offset, 0);
    const ControlCommand garbage = parsed("line COM3 garbage 5 64 0");
    EXPECT_EQ(garbage.line.kind, LineFault::Kind::Garbage);
    EXPECT_EQ(garbage.line.afterSectors, 5u);
    EXPECT_EQ(garbage.line.count, 64);
    EXPECT_EQ(garbage.line.byte, 0);
    EXPECT_EQ(parsed("line COM3 garbage 5").line.count, 1) << "the default";
    const ControlCommand flip = parsed("line COM3 flip 2 17 7");
    EXPECT_EQ(flip.line.kind, LineFault::Kind::Flip);
    EXPECT_EQ(flip.line.offset, 17);
    EXPECT_EQ(flip.line.bit, 7);

    EXPECT_EQ(parsed("fault COM3 clear").kind, ControlCommand::Kind::ClearFaults);
    EXPECT_EQ(parsed("status").kind, ControlCommand::Kind::Status);
    EXPECT_EQ(parsed("quit").kind, ControlCommand::Kind::Quit);
}

TEST(ControlCommand, RejectsMalformedLines) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "empty command"},
        {"replug COM3", "unknown command 'replug'"},
        {"unplug COM30 100", "expected a port COM1..COM29"},
        {"unplug COM0 100", "expected a port COM1..COM29"},
        {"unplug 3 100", "expected a port COM1..COM29"},
        {"unplug COM3", "expected milliseconds"},
        {"unplug COM3 100 sideways", "unexpected 'sideways'"},
        {"unplug-after COM3 0 100", "expected a sector count"},
        {"silence COM3 maybe", "expected on or off"},
        {"fault COM3 wrong-ack hello", "expected a byte 0..255"},
        {"fault COM3 wrong-ack hello 256", "expected a byte 0..255"},
        {"fault COM3 wrong-ack goodbye 1", "expected an exchange"},
        {"fault COM3 missing-ack hello after", "unexpected 'after'"},
        {"fault COM3 short-params 7", "expected a count 0..6"},
        {"fault COM3 explode", "expected wrong-ack, missing-ack, short-params or clear"},
        {"line COM3 bend 1", "line: expected drop, insert, cut, garbage or flip"},
        {"line COM3 drop", "drop: expected a sector count"},
        {"line COM3 cut 1 512", "cut: expected an offset 0..511"},
        {"line COM3 drop 1 0 0x5A", "unexpected '0x5A'"},
        {"line COM3 insert 1 0 256", "insert: expected a byte 0..255"},
        {"line COM3 garbage 1 0", "garbage: expected a count 1..64"},
        {"line COM3 garbage 1 65", "garbage: expected a count 1..64"},
        {"line COM3 flip 1 0 8", "flip: expected a bit 0..7"},
        {"status now", "unexpected 'now'"},
    };
    for (const auto& [line, message] : cases) {
        EXPECT_NE(errorOf(line).find(message), std::string::npos)
            << "'" << line << "' gave: " << errorOf(line);
    }
}

TEST(ControlCommand, FaultCommandsChangeTheBlock) {
    blocksim::BlockSetup setup;
    blocksim::BlockModel block(setup);
    blocksim::applyToModel(parsed("silence COM3 on"), block);
    EXPECT_TRUE(replyTo(block, {0x00}).empty());
    blocksim::applyToModel(parsed("silence COM3 off"), block);
    blocksim::applyToModel(parsed("fault COM3 wrong-ack clear 0x42"), block);
    EXPECT_EQ(replyTo(block, {0x04}), Bytes{0x42});
    blocksim::applyToModel(parsed("fault COM3 short-params 1"), block);
    EXPECT_EQ(replyTo(block, {0x00}).size(), 2u);
    blocksim::applyToModel(parsed("unplug-after COM3 7 100"), block);
    ASSERT_TRUE(block.setup().faults.unplug);
    EXPECT_EQ(block.setup().faults.unplug->afterSectors, 7u);
    blocksim::applyToModel(parsed("line COM3 drop 4"), block);
    blocksim::applyToModel(parsed("line COM3 garbage 0"), block);
    EXPECT_EQ(block.setup().faults.line.size(), 2u) << "line faults add up";

    blocksim::applyToModel(parsed("fault COM3 clear"), block);
    EXPECT_EQ(replyTo(block, {0x04}), Bytes{0x0E});
    EXPECT_EQ(replyTo(block, {0x00}).size(), 9u);
    EXPECT_FALSE(block.setup().faults.unplug);
    EXPECT_TRUE(block.setup().faults.line.empty());
}

}  // namespace
}  // namespace kelvra::test
