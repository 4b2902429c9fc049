#include <gtest/gtest.h>

#include "link/LinkExchanges.h"
#include "tests/support/ScriptedPort.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(StreamStart, ThreeSingleByteWrites) {
    test::ScriptedPort port;
    EXPECT_TRUE(writeStreamStart(port, 0x21, 2));
    EXPECT_EQ(port.written(), (Bytes{0x02, 0x21, 0x02}));
    EXPECT_EQ(port.writeSizes(), (std::vector<std::size_t>{1, 1, 1}));
}

TEST(StreamStart, NothingFollowsAFailedByte) {
    test::ScriptedPort first;
    first.failWritesAfter(0);
    EXPECT_FALSE(writeStreamStart(first, 0x21, 2));
    EXPECT_TRUE(first.written().empty());

    test::ScriptedPort last;
    last.failWritesAfter(2);
    EXPECT_FALSE(writeStreamStart(last, 0x21, 2));
    EXPECT_EQ(last.written(), (Bytes{0x02, 0x21}));
}

TEST(SectorRequest, SendsTheLow16BitsOfTheSectorIndex) {
    test::ScriptedPort port;
    EXPECT_TRUE(writeSectorRequest(port, 5, 1, 300));
    EXPECT_TRUE(writeSectorRequest(port, 5, 1, 65536));
    EXPECT_EQ(port.written(), (Bytes{0x12, 5, 1, 0x2C, 0x01, 0x12, 5, 1, 0x00, 0x00}));
    EXPECT_EQ(port.writeSizes(), (std::vector<std::size_t>{5, 5}));

    test::ScriptedPort partial;
    partial.failWritesAfter(4);
    EXPECT_FALSE(writeSectorRequest(partial, 5, 1, 0));
}

TEST(BatchRequest, FiveBytesThenTheCount) {
    test::ScriptedPort port;
    EXPECT_TRUE(writeBatchRequest(port, 7, 0, 40, 10));
    EXPECT_EQ(port.written(), (Bytes{0x13, 7, 0, 0x28, 0x00, 0x0A}));
    EXPECT_EQ(port.writeSizes(), (std::vector<std::size_t>{5, 1}));

    test::ScriptedPort countLost;
    countLost.failWritesAfter(5);
    EXPECT_FALSE(writeBatchRequest(countLost, 7, 0, 40, 10));

    test::ScriptedPort headerLost;
    headerLost.failWritesAfter(3);
    EXPECT_FALSE(writeBatchRequest(headerLost, 7, 0, 40, 10));
    EXPECT_EQ(headerLost.writeSizes().size(), 1u) << "no count after a short header";
}

TEST(BatchRequest, CountFollowsTheBytesStillWanted) {
    EXPECT_EQ(batchSectorCount(19 * 512), 19u);
    EXPECT_EQ(batchSectorCount(19 * 512 + 1), 20u);
    EXPECT_EQ(batchSectorCount(10240), 20u);
    EXPECT_EQ(batchSectorCount(5'000'000), 20u);
    EXPECT_EQ(batchSectorCount(17 * 512 + 296), 18u);
    EXPECT_EQ(batchSectorCount(1), 1u);
}

TEST(AckRead, OnlyOneByteOf0x0ECounts) {
    test::ScriptedPort good;
    good.feed({0x0E});
    EXPECT_TRUE(readAck(good));
    test::ScriptedPort wrong;
    wrong.feed({0x0F});
    EXPECT_FALSE(readAck(wrong));
    test::ScriptedPort none;
    EXPECT_FALSE(readAck(none));
}

}  // namespace
}  // namespace kelvra
