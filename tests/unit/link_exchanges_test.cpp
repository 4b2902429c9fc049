#include <gtest/gtest.h>

#include "link/Bcd.h"
#include "link/LinkExchanges.h"
#include "tests/support/ScriptedPort.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes entryBytes(std::uint8_t lead, std::uint8_t address) {
    Bytes entry(kDirEntrySize, 0);
    entry[0] = lead;
    entry[1] = 1;
    entry[6] = address;
    return entry;
}

TEST(Directory, ReadsEntriesUntilDirEndThenTheAck) {
    test::ScriptedPort port;
    port.feed(entryBytes(0x10, 7));
    port.feed(entryBytes(0x11, 9));
    port.feed({0xFF, 0x0E});
    const DirectoryListing listing = readDirectory(port);
    EXPECT_EQ(listing.failure, DirectoryFailure::None);
    ASSERT_EQ(listing.entryCount, 2);
    EXPECT_EQ(listing.entries[0][6], 7);
    EXPECT_EQ(listing.entries[1][0], 0x11);
    EXPECT_EQ(listing.entries[1][6], 9);
    EXPECT_EQ(port.written(), Bytes{0x01});
    EXPECT_EQ(port.unread(), 0u);
}

TEST(Directory, FortyOneEntriesAreFollowedDirectlyByTheAck) {
    test::ScriptedPort port;
    for (int i = 0; i < 41; ++i) {
        port.feed(entryBytes(0x01, static_cast<std::uint8_t>(i)));
    }
    port.feed({0x0E, 0xFF});
    const DirectoryListing listing = readDirectory(port);
    EXPECT_EQ(listing.failure, DirectoryFailure::None);
    EXPECT_EQ(listing.entryCount, 41);
    EXPECT_EQ(listing.entries[40][6], 40);
    EXPECT_EQ(port.unread(), 1u) << "no DirEnd is looked for after the 41st entry";
}

TEST(Directory, EmptyDirectoryAndEachFailure) {
    {
        test::ScriptedPort port;
        port.feed({0xFF, 0x0E});
        const DirectoryListing listing = readDirectory(port);
        EXPECT_EQ(listing.failure, DirectoryFailure::None);
        EXPECT_EQ(listing.entryCount, 0);
    }
    {
        test::ScriptedPort port;
        port.failWritesAfter(0);
        EXPECT_EQ(readDirectory(port).failure, DirectoryFailure::NotWritten);
        EXPECT_TRUE(port.readSizes().empty());
    }
    {
        test::ScriptedPort port;
        Bytes shortEntry = entryBytes(0x01, 3);
        shortEntry.resize(20);
        port.feed(shortEntry);
        EXPECT_EQ(readDirectory(port).failure, DirectoryFailure::ShortEntry);
    }
    {
        // A missing lead byte is not an end: the tail read decides, and fails.
        test::ScriptedPort port;
        const DirectoryListing listing = readDirectory(port);
        EXPECT_EQ(listing.failure, DirectoryFailure::ShortEntry);
        EXPECT_EQ(port.readSizes(), (std::vector<std::size_t>{1, 31}));
    }
    {
        test::ScriptedPort port;
        port.feed({0xFF, 0x55});
        EXPECT_EQ(readDirectory(port).failure, DirectoryFailure::NoAck);
    }
    {
        test::ScriptedPort port;
        port.feed({0xFF});
        EXPECT_EQ(readDirectory(port).failure, DirectoryFailure::NoAck);
    }
}

TEST(SetClock, SendsEachBcdFieldInItsOwnWrite) {
    test::ScriptedPort port;
    port.feed({0x0E});
    const platform::LocalTime time{2026, 12, 7, 23, 59, 8};
    EXPECT_TRUE(setClock(port, time));
    EXPECT_EQ(port.written(), (Bytes{0x05, 0x08, 0x59, 0x23, 0x07, 0x12, 0x26}));
    EXPECT_EQ(port.writeSizes(), std::vector<std::size_t>(7, 1));
}

TEST(SetClock, AWrongReplyFailsAtOnceAndSilenceAfterFortyReads) {
    {
        test::ScriptedPort port;
        port.feed({0x55, 0x0E});
        EXPECT_FALSE(setClock(port, platform::LocalTime{}));
        EXPECT_EQ(port.readSizes().size(), 1u) << "no further search for 0x0E";
        EXPECT_EQ(port.unread(), 1u);
    }
    {
        test::ScriptedPort port;
        EXPECT_FALSE(setClock(port, platform::LocalTime{}));
        EXPECT_EQ(port.readSizes().size(), 40u);
    }
}

TEST(Bcd, ConvertsWithoutValidation) {
    EXPECT_EQ(toBcd(59), 0x59);
    EXPECT_EQ(toBcd(2018), 0x18);
    EXPECT_EQ(fromBcd(0x59), 59);
    EXPECT_EQ(fromBcd(0xFF), 165);
}

TEST(ClearMemory, CommandAndAck) {
    test::ScriptedPort port;
    EXPECT_TRUE(sendClearMemory(port));
    EXPECT_EQ(port.written(), Bytes{0x04});
    port.limitNextRead(0);
    port.feed({0x0E});
    EXPECT_TRUE(awaitClearMemoryAck(port));

    test::ScriptedPort wrong;
    wrong.feed({0x55, 0x0E});
    EXPECT_FALSE(awaitClearMemoryAck(wrong));
    EXPECT_EQ(wrong.unread(), 1u);

    test::ScriptedPort gone;
    gone.failWritesAfter(0);
    EXPECT_FALSE(sendClearMemory(gone));
}

TEST(Delete, WritesCommandAndAddressSeparatelyAndConsumesOneByte) {
    test::ScriptedPort port;
    port.feed({0x0E, 0x77});
    deleteEntry(port, 0xC3);
    EXPECT_EQ(port.written(), (Bytes{0x03, 0xC3}));
    EXPECT_EQ(port.writeSizes(), (std::vector<std::size_t>{1, 1}));
    EXPECT_EQ(port.unread(), 1u);
}

TEST(ConfigFrame, LayoutsOfEverySubCommand) {
    const Bytes zeros8(8, 0);
    auto head = [](const ConfigFrame& frame) {
        return Bytes(frame.bytes.begin(), frame.bytes.begin() + 9);
    };
    auto tail = [](const ConfigFrame& frame) {
        return Bytes(frame.bytes.begin() + 9, frame.bytes.end());
    };
    const ConfigFrame serial = ConfigFrame::serialNumber(18, 42);
    EXPECT_EQ(head(serial), (Bytes{0x06, 0x12, 0x2A, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(tail(serial), zeros8);
    const ConfigFrame value = ConfigFrame::value(42, 512);
    EXPECT_EQ(head(value), (Bytes{0x06, 0xFF, 0x2A, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x02}));
    EXPECT_EQ(tail(value), zeros8);
    EXPECT_EQ(head(ConfigFrame::command(ConfigFrame::kPairWithA)),
              (Bytes{0x06, 0, 0, 0, 0, 0, 0x02, 0, 0}));
    EXPECT_EQ(head(ConfigFrame::undelete()), (Bytes{0x06, 0x25, 0, 0, 0, 0, 0x14, 0, 0}));
}

TEST(ConfigFrame, GoesOutInOneWriteAndSilenceIsNoFailure) {
    test::ScriptedPort port;
    sendConfigFrame(port, ConfigFrame::command(ConfigFrame::kBattery));
    EXPECT_EQ(port.writeSizes(), std::vector<std::size_t>{17});
    EXPECT_EQ(port.readSizes().size(), 40u);
    EXPECT_EQ(port.elapsedMs(), 40 * 1005);

    test::ScriptedPort answered;
    answered.feed({0x99, 0x0E});
    sendConfigFrame(answered, ConfigFrame::command(ConfigFrame::kSetA));
    EXPECT_EQ(answered.unread(), 1u);
}

TEST(ReadSector, AddressIsLittleEndianAndTheTrailerIsConsumed) {
    test::ScriptedPort port;
    port.feedRepeated(0xA5, 512);
    port.feed({0x0E});
    std::uint8_t sector[512] = {};
    EXPECT_EQ(readMemorySector(port, 258, sector), 512u);
    EXPECT_EQ(port.written(), (Bytes{0x08, 0x02, 0x01, 0x00, 0x00}));
    EXPECT_EQ(sector[511], 0xA5);
    EXPECT_EQ(port.unread(), 0u);

    test::ScriptedPort two;
    readMemorySector(two, 2, sector);
    EXPECT_EQ(two.written(), (Bytes{0x08, 0x02, 0x00, 0x00, 0x00}));
}

}  // namespace
}  // namespace kelvra
