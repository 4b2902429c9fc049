#pragma once

#include "link/BlockPort.h"
#include "records/RecordTableBuilder.h"

namespace kelvra {

// Both blocks' directories read into one merged table.
struct RecordTableRead {
    // The fatal message of a failed directory read, or null. On a failure the table holds what
    // was read before it and must not be shown.
    const char* failure = nullptr;
    RecordTableBuilder table;
};

// Reads the directory of slot A and then of slot B, each only if present, and merges them.
// A failed read ends it: the other block is not asked.
RecordTableRead readRecordTable(CBlockPort& slotA, CBlockPort& slotB);

}  // namespace kelvra
