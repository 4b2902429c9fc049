#pragma once

#include <cstdint>
#include <string>

#include "download/DownloadJob.h"
#include "link/BlockPort.h"

namespace kelvra {

// What comparing a record as the blocks hold it now with a file found.
enum class ContentMatch {
    Same,        // every byte compared agrees
    Different,   // a byte compared does not
    Unreadable,  // a block did not deliver a sector asked for, or the file could not be read
    NotSampled,  // a block that streams only whole records was not asked to stream one
};

struct ContentCheck {
    ContentMatch match = ContentMatch::Same;
    // Where it was decided when not Same: the slot ('A' or 'B'; 0 for the file) and the
    // sector of that block's copy.
    char slot = 0;
    std::uint64_t sector = 0;
};

// Compares the record that `item` reads with the WAV file at `path`, channel by channel: of
// each block copy the item reads, the first and the last sector, asked for by address; from a
// block that streams only whole records the whole record with `wholeRecords`, and otherwise
// nothing (NotSampled). Uses the slots' ports only while no job owns them; their stream fields
// are left as they were.
ContentCheck compareContent(CBlockPort& slotA, CBlockPort& slotB, const DownloadItem& item,
                            const std::string& path, bool wholeRecords);

// Whether a file may stand for the record: its content was found, or a block that streams only
// whole records left the record to the directory's word.
inline bool contentAgrees(const ContentCheck& check) {
    return check.match == ContentMatch::Same || check.match == ContentMatch::NotSampled;
}

// "block A's sector 0 differs from the file", for a check that is not Same.
std::string describeContentCheck(const ContentCheck& check);

}  // namespace kelvra
