#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/blocksim/BlockSetup.h"

namespace kelvra::blocksim {

// Bytes one block holds for each record of the entry: from firmware 60 on the entry's own
// sampleRate x duration x 2; older firmware always records 120 s at 21362 samples per second
// (major 5) or 21333 (below), whatever the entry says.
std::uint64_t recordByteCount(const BlockSetup& block, const EntrySetup& entry);

// `count` bytes from `offset` on of record `recordIndex` of the entry at `address`: 16-bit
// little-endian samples of a tone whose pitch depends on the block's serial number, the record
// and the entry's sample seed, with identity-dependent low bits so that no two sectors of a
// record, and no two records, carry the same bytes. A pure function of its arguments; the
// length of the record is not consulted. `shape` Zero gives zeros; Clipped the same tone five
// times as loud, cut off at -32768 and +32767, so that about two samples in five sit there.
void fillRecordBytes(const BlockSetup& block, std::uint8_t address, std::uint8_t recordIndex,
                     std::uint64_t offset, std::uint8_t* out, std::size_t count,
                     std::uint32_t sampleSeed = 0, SampleShape shape = SampleShape::Tone);

}  // namespace kelvra::blocksim
