#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/BlockPort.h"
#include "records/RecordInfo.h"

namespace kelvra {

// One block's copy of a record, as a download read it.
struct BlockCopy {
    std::int32_t serialYear = 0;
    std::int32_t serialNumber = 0;
    std::int32_t firmware = 0;
    std::int32_t entryAddress = 0;
    std::int32_t recordNo = 0;

    bool operator==(const BlockCopy&) const = default;
};

// Which record a file holds and which blocks' copies went into it. A block that is reset, or
// cleared and recording again, can give a new record the date, time and length of an old one;
// the block's serial number and the entry's address and bytes tell them apart.
struct RecordIdentity {
    std::optional<BlockCopy> blockA;  // the channels by the slot the block sat in
    std::optional<BlockCopy> blockB;
    std::string time;  // the entry's date and time, e.g. 2018-03-05T14:07:09
    std::int32_t recordNo = 0;
    std::uint16_t sampleRate = 0;
    std::uint16_t duration = 0;
    std::string entryInfo;  // the entry's four opaque bytes in hex

    bool operator==(const RecordIdentity&) const = default;
};

// The record of a row, with the copies of the blocks that a download reads: slot A's with
// `useA`, slot B's with `useB`.
RecordIdentity identityOf(const RecordInfo& row, const CBlockPort& slotA, bool useA,
                          const CBlockPort& slotB, bool useB);

// The record's local date and time as ISO 8601, e.g. 2018-03-05T14:07:09.
std::string isoDateTime(const RecordInfo& row);

// Both name one record: the same entry time, record, length and entry bytes, and every block
// that both have read gave the same entry. Copies of different blocks count as one record only
// when the other fields agree.
bool sameRecord(const RecordIdentity& file, const RecordIdentity& wanted);

// `file` holds this block's copy: the same block, entry and record.
bool holdsCopy(const RecordIdentity& file, const BlockCopy& copy);

// `file` holds the record `wanted` with at least the copies `wanted` reads: a block that was
// absent when the file was made leaves it short of that block's channel.
bool holdsAllOf(const RecordIdentity& file, const RecordIdentity& wanted);

}  // namespace kelvra
