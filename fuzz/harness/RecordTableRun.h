#pragma once

#include <cstdint>
#include <span>

#include "fuzz/harness/Findings.h"

namespace kelvra::fuzz {

// Both blocks' raw directories through the record table as the main window builds it: every
// entry expanded, the rows sorted and merged, the lines listed, and every listed line queued
// for download with its file name. Input: block A's firmware, block B's firmware, how many of
// the entries are block A's, then 32-byte entries; any count, any values.
Findings runRecordTable(std::span<const std::uint8_t> input);

}  // namespace kelvra::fuzz
