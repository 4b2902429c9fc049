#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "records/RecordListLine.h"
#include "records/RecordTableBuilder.h"

namespace kelvra {
namespace {

struct EntryBytes {
    std::uint8_t bytes[32] = {};

    EntryBytes(std::uint8_t address, std::uint8_t records, bool roleA) {
        bytes[0] = 0x01;
        bytes[1] = records;
        bytes[6] = address;
        // 5 March 2018, 14:07:09 in BCD
        bytes[8] = 0x09;
        bytes[9] = 0x07;
        bytes[10] = 0x14;
        bytes[11] = 0x05;
        bytes[12] = 0x03;
        bytes[13] = 0x18;
        bytes[14] = roleA ? 0x02 : 0x00;
        for (int k = 0; k < 4; ++k) {
            bytes[16 + k] = static_cast<std::uint8_t>(0x10 + k);
            bytes[20 + k] = static_cast<std::uint8_t>(0x20 + k);
        }
        bytes[24] = 0x40;  // 8000 samples per second
        bytes[25] = 0x1F;
        bytes[26] = 3;  // 3 seconds
    }
    EntryBytes& time(std::uint8_t hourBcd, std::uint8_t minuteBcd) {
        bytes[10] = hourBcd;
        bytes[9] = minuteBcd;
        return *this;
    }
    DirEntry entry() const { return DirEntry::fromBytes(bytes); }
};

std::vector<std::string> lines(const RecordTableBuilder& table) {
    std::vector<std::string> result;
    for (int i = 0; i < table.rowCount(); ++i) {
        result.push_back(recordListLine(table.row(i)));
    }
    return result;
}

TEST(RecordTable, ExpandsEntriesByRecordCount) {
    RecordTableBuilder table;
    table.addEntry(EntryBytes(1, 0, true).entry(), 0, 60);
    EXPECT_EQ(table.rowCount(), 0);
    table.addEntry(EntryBytes(2, 7, true).entry(), 0, 60);
    ASSERT_EQ(table.rowCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(table.row(i).recordNo, i + 1);
        EXPECT_EQ(table.row(i).recordsInEntry, 7);
        EXPECT_EQ(table.row(i).setting1[0], 0x10 + i);
        EXPECT_EQ(table.row(i).setting2[0], 0x20 + i);
        EXPECT_EQ(table.row(i).addrB, -1);
    }
}

TEST(RecordTable, SingleCopiesShowTheirRoleAndSwappedFlag) {
    RecordTableBuilder asA;
    asA.addEntry(EntryBytes(9, 1, true).entry(), 0, 60);
    EXPECT_EQ(asA.row(0).swapped, 0);
    EXPECT_EQ(recordListLine(asA.row(0)), " 5/ 3/2018\t14:07:09\tЗапись 1\tA__");

    RecordTableBuilder asB;
    asB.addEntry(EntryBytes(9, 1, false).entry(), 0, 60);
    EXPECT_EQ(asB.row(0).swapped, 1);
    EXPECT_EQ(recordListLine(asB.row(0)), " 5/ 3/2018\t14:07:09\tЗапись 1\t__B");

    RecordTableBuilder fromB;
    fromB.addEntry(EntryBytes(9, 1, true).entry(), 1, 60);
    EXPECT_EQ(fromB.row(0).swapped, 1);
    EXPECT_EQ(recordMarker(fromB.row(0)), "A__");
}

TEST(RecordTable, CopiesFromBothBlocksMergeIntoOneRowEach) {
    RecordTableBuilder table;
    table.addEntry(EntryBytes(4, 3, true).entry(), 0, 60);
    table.addEntry(EntryBytes(11, 3, false).entry(), 1, 60);
    table.sortAndMerge();
    ASSERT_EQ(table.rowCount(), 3);
    EXPECT_EQ(lines(table), (std::vector<std::string>{
                                " 5/ 3/2018\t14:07:09\tЗапись 1\tA_B",
                                "\t\tЗапись 2\tA_B",
                                "\t\tЗапись 3\tA_B",
                            }));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(table.row(i).addrA, 4);
        EXPECT_EQ(table.row(i).addrB, 11);
        EXPECT_EQ(table.row(i).setting1[1], 0x10 + i);
    }
}

TEST(RecordTable, EntryInfoBytesTwoAndThreeMatterOnlyBeyondOneRecord) {
    EntryBytes a1(1, 1, true), b1(2, 1, false);
    b1.bytes[4] = 0x77;
    b1.bytes[5] = 0x66;
    RecordTableBuilder one;
    one.addEntry(a1.entry(), 0, 60);
    one.addEntry(b1.entry(), 1, 60);
    one.sortAndMerge();
    EXPECT_EQ(one.rowCount(), 1);

    EntryBytes a2(1, 2, true), b2(2, 2, false);
    b2.bytes[4] = 0x77;
    RecordTableBuilder two;
    two.addEntry(a2.entry(), 0, 60);
    two.addEntry(b2.entry(), 1, 60);
    two.sortAndMerge();
    EXPECT_EQ(two.rowCount(), 4);
}

TEST(RecordTable, CopiesThatCannotBeOneRecordStaySeparate) {
    RecordTableBuilder bothRoleA;
    bothRoleA.addEntry(EntryBytes(1, 1, true).entry(), 0, 60);
    bothRoleA.addEntry(EntryBytes(2, 1, true).entry(), 1, 60);
    bothRoleA.sortAndMerge();
    ASSERT_EQ(bothRoleA.rowCount(), 2);
    EXPECT_EQ(recordMarker(bothRoleA.row(0))[0], 'A');
    EXPECT_EQ(recordMarker(bothRoleA.row(1))[0], 'A');

    RecordTableBuilder firmware5and4;
    firmware5and4.addEntry(EntryBytes(1, 1, true).entry(), 0, 52);
    firmware5and4.addEntry(EntryBytes(2, 1, false).entry(), 1, 45);
    firmware5and4.sortAndMerge();
    ASSERT_EQ(firmware5and4.rowCount(), 2);
    EXPECT_EQ(firmware5and4.row(0).duration, 120);

    RecordTableBuilder sameBlock;
    sameBlock.addEntry(EntryBytes(1, 1, true).entry(), 0, 60);
    sameBlock.addEntry(EntryBytes(2, 1, true).entry(), 0, 60);
    sameBlock.sortAndMerge();
    EXPECT_EQ(sameBlock.rowCount(), 2) << "two copies from one block are never one record";
}

TEST(RecordTable, RateAndLengthFollowTheBlocksOwnFirmware) {
    EntryBytes e(1, 1, true);
    e.bytes[24] = 0x55;
    e.bytes[25] = 0x53;
    RecordTableBuilder table;
    table.addEntry(e.entry(), 0, 60);
    table.addEntry(e.entry(), 0, 59);
    table.addEntry(e.entry(), 0, 49);
    EXPECT_EQ(table.row(0).sampleRate, 21333);
    EXPECT_EQ(table.row(0).duration, 3);
    EXPECT_EQ(table.row(1).sampleRate, 21362);
    EXPECT_EQ(table.row(1).duration, 120);
    EXPECT_EQ(table.row(2).sampleRate, 21333);
}

TEST(RecordTable, SortsByTimeThenRecordNumber) {
    RecordTableBuilder table;
    table.addEntry(EntryBytes(1, 2, true).time(0x15, 0x00).entry(), 0, 60);
    table.addEntry(EntryBytes(2, 2, true).time(0x09, 0x30).entry(), 0, 60);
    table.addEntry(EntryBytes(3, 2, true).time(0x09, 0x30).entry(), 0, 60);
    table.sortAndMerge();
    ASSERT_EQ(table.rowCount(), 6);
    const int expectedRecordNo[] = {1, 1, 2, 2, 1, 2};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(table.row(i).recordNo, expectedRecordNo[i]) << i;
    }
    EXPECT_EQ(table.row(4).addrA, 1);
    EXPECT_EQ(table.row(5).addrA, 1);
}

TEST(RecordTable, UncheckedBcdSortsWithoutOverflow) {
    EntryBytes bad(1, 1, true);
    for (int i = 8; i <= 13; ++i) {
        bad.bytes[i] = 0xFF;
    }
    RecordTableBuilder table;
    table.addEntry(bad.entry(), 0, 60);
    table.addEntry(EntryBytes(2, 1, true).entry(), 0, 60);
    table.sortAndMerge();
    EXPECT_EQ(table.row(0).addrA, 2);
    EXPECT_EQ(table.row(1).year, 165);
    EXPECT_EQ(recordListLine(table.row(1)), "165/165/2165\t165:165:165\tЗапись 1\tA__");
}

TEST(RecordTable, TwoFullDirectoriesFitTheBuilder) {
    RecordTableBuilder table;
    for (int slot = 0; slot < 2; ++slot) {
        for (int i = 0; i < 41; ++i) {
            EntryBytes e(static_cast<std::uint8_t>(i), 4, slot == 0);
            e.bytes[8] = static_cast<std::uint8_t>(i % 10 + (slot << 4));  // distinct times
            table.addEntry(e.entry(), slot, 60);
        }
    }
    EXPECT_EQ(table.rowCount(), RecordTableBuilder::kCapacity);
    table.sortAndMerge();
    EXPECT_EQ(table.rowCount(), 328);
}

}  // namespace
}  // namespace kelvra
