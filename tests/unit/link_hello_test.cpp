#include <gtest/gtest.h>

#include "link/BlockLink.h"
#include "link/LinkBytes.h"
#include "tests/support/ScriptedPort.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(HelloExchange, ReadsParametersOfAFullReply) {
    test::ScriptedPort port;
    port.feed({0x55, 18, 0x01, 0x02, 42, 0x82, 0xAA, 0xBB, 0x0E});
    const HelloResult result = helloExchange(port);
    ASSERT_TRUE(result.ok());
    EXPECT_EQ(port.written(), Bytes{0x00});
    EXPECT_EQ(result.params.serialYear, 18);
    EXPECT_EQ(result.params.serialNumber, 513);  // byte 1 is the low byte
    EXPECT_EQ(result.params.firmware, 42);
    EXPECT_TRUE(result.params.roleA());
    EXPECT_TRUE(result.params.serviceFlag());
    EXPECT_EQ(port.unread(), 0u);
}

TEST(HelloExchange, RoleAndServiceBitsAreIndependent) {
    const std::uint8_t blockB[7] = {0, 0, 0, 7, 0x80, 0, 0};
    const std::uint8_t blockA[7] = {0, 0, 0, 7, 0x02, 0, 0};
    EXPECT_FALSE(BlockParams::fromBytes(blockB).roleA());
    EXPECT_TRUE(BlockParams::fromBytes(blockB).serviceFlag());
    EXPECT_TRUE(BlockParams::fromBytes(blockA).roleA());
    EXPECT_FALSE(BlockParams::fromBytes(blockA).serviceFlag());
}

TEST(HelloExchange, TellsTheStepAtWhichItFailed) {
    {
        test::ScriptedPort port;
        port.failWritesAfter(0);
        port.feed({0x55, 1, 2, 3, 4, 5, 6, 7, 0x0E});
        EXPECT_EQ(helloExchange(port).failure, HelloFailure::NotWritten);
        EXPECT_TRUE(port.readSizes().empty()) << "nothing is read after an unwritten greeting";
    }
    {
        test::ScriptedPort port;  // silent block
        EXPECT_EQ(helloExchange(port).failure, HelloFailure::NoReply);
        EXPECT_EQ(port.readSizes(), std::vector<std::size_t>{1});
    }
    {
        test::ScriptedPort port;  // something else answers
        port.feed({0x0E, 1, 2, 3, 4, 5, 6, 7, 0x0E});
        EXPECT_EQ(helloExchange(port).failure, HelloFailure::NoReply);
        EXPECT_EQ(port.readSizes().size(), 1u);
    }
    {
        test::ScriptedPort port;
        port.feed({0x55, 1, 2, 3, 4, 5, 6});
        EXPECT_EQ(helloExchange(port).failure, HelloFailure::NoParameters);
        EXPECT_EQ(port.readSizes(), (std::vector<std::size_t>{1, 7}));
    }
    {
        test::ScriptedPort port;
        port.feed({0x55, 1, 2, 3, 4, 5, 6, 7});
        EXPECT_EQ(helloExchange(port).failure, HelloFailure::NoAck);
    }
    {
        test::ScriptedPort port;
        port.feed({0x55, 1, 2, 3, 4, 5, 6, 7, 0x55});
        EXPECT_EQ(helloExchange(port).failure, HelloFailure::NoAck);
    }
}

TEST(HelloExchange, UncheckedFormKeepsWhatArrivedByteForByte) {
    test::ScriptedPort port;
    port.feed({0x55, 18, 42, 0});
    std::uint8_t reply[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(helloUnchecked(port, reply), 4u);
    EXPECT_EQ(Bytes(reply, reply + 8), (Bytes{0x55, 18, 42, 0, 9, 9, 9, 9}));
    EXPECT_EQ(port.written(), Bytes{0x00});
    EXPECT_EQ(port.readSizes(), (std::vector<std::size_t>{8, 1}));
}

TEST(WaitForByte, StopsAtTheFirstByteThatArrives) {
    test::ScriptedPort port;
    port.limitNextRead(0);
    port.limitNextRead(0);
    port.feed({0x37, 0x0E});
    EXPECT_EQ(waitForByte(port), std::optional<std::uint8_t>(0x37));
    EXPECT_EQ(port.readSizes().size(), 3u);
    EXPECT_EQ(port.unread(), 1u);
}

TEST(WaitForByte, GivesUpAfterFortyEmptyReads) {
    test::ScriptedPort port;
    EXPECT_EQ(waitForByte(port), std::nullopt);
    EXPECT_EQ(port.readSizes(), std::vector<std::size_t>(40, 1));
    EXPECT_EQ(port.elapsedMs(), 40 * 1005);
}

}  // namespace
}  // namespace kelvra
