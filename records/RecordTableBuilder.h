#pragma once

#include <array>

#include "records/DirEntry.h"
#include "records/RecordInfo.h"

namespace kelvra {

// Builds the merged record table from both blocks' directories: every entry expanded into
// one row per record, the rows sorted by time and record number, and the two blocks' copies
// of one record merged into one row.
class RecordTableBuilder {
public:
    // Two full directories: 41 entries of four records from each block.
    static constexpr int kCapacity = 2 * 41 * 4;

    // slot 0 is block A, 1 block B; `firmware` is that block's own version.
    void addEntry(const DirEntry& entry, int slot, int firmware);
    void sortAndMerge();

    int rowCount() const { return count_; }
    const RecordInfo& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }

private:
    void sortRows();
    void mergeCopies();

    std::array<RecordInfo, kCapacity> rows_{};
    int count_ = 0;
};

// Sort key of a row: its time in seconds (every month counted as 31 days) times 16 plus the
// record number.
std::int64_t recordSortKey(const RecordInfo& row);

}  // namespace kelvra
