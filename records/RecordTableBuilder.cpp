#include "records/RecordTableBuilder.h"

#include <utility>

#include "link/Bcd.h"
#include "link/FirmwareRules.h"

namespace kelvra {

namespace {

constexpr int kMaxRecordsPerEntry = 4;

std::uint8_t bcdValue(std::uint8_t bcd) {
    return static_cast<std::uint8_t>(fromBcd(bcd));
}

void applyRecordFormat(RecordInfo& row, const DirEntry& entry, int firmware) {
    if (storesRecordFormat(firmware)) {
        row.sampleRate = entry.sampleRate;
        row.duration = entry.duration;
    } else {
        const RecordFormat fixed = fixedRecordFormat(firmware);
        row.sampleRate = fixed.sampleRate;
        row.duration = fixed.duration;
    }
}

bool sameRecord(const RecordInfo& p, const RecordInfo& q) {
    const bool oneRecordEntry = p.recordsInEntry == 1;
    return p.second == q.second && p.minute == q.minute && p.hour == q.hour && p.day == q.day &&
           p.month == q.month && p.year == q.year && p.recordsInEntry == q.recordsInEntry &&
           p.recordNo == q.recordNo && p.entryInfo[0] == q.entryInfo[0] &&
           p.entryInfo[1] == q.entryInfo[1] &&
           (p.entryInfo[2] == q.entryInfo[2] || oneRecordEntry) &&
           (p.entryInfo[3] == q.entryInfo[3] || oneRecordEntry) && p.swapped == q.swapped &&
           p.sampleRate == q.sampleRate && p.duration == q.duration &&
           (p.addrA != kNoCopy || q.addrA != kNoCopy) && (p.addrB != kNoCopy || q.addrB != kNoCopy);
}

}  // namespace

std::int64_t recordSortKey(const RecordInfo& row) {
    // Wide arithmetic: unchecked BCD can give fields up to 165, which would overflow 32 bits.
    std::int64_t t = row.year;
    t = t * 12 + row.month;
    t = t * 31 + row.day;
    t = t * 24 + row.hour;
    t = t * 60 + row.minute;
    t = t * 60 + row.second;
    return t * 16 + row.recordNo;
}

void RecordTableBuilder::addEntry(const DirEntry& entry, int slot, int firmware) {
    const bool madeAsA = (entry.flags & DirEntry::kRoleA) != 0;
    const bool swapped = slot == 0 ? !madeAsA : madeAsA;
    for (int k = 0; k < entry.recordCount && k < kMaxRecordsPerEntry; ++k) {
        if (count_ == kCapacity) {
            return;
        }
        RecordInfo& row = rows_[static_cast<std::size_t>(count_++)];
        row = RecordInfo{};
        (slot == 0 ? row.addrA : row.addrB) = entry.address;
        row.swapped = swapped ? 1 : 0;
        row.recordNo = k + 1;
        row.recordsInEntry = entry.recordCount;
        for (int i = 0; i < 4; ++i) {
            row.entryInfo[i] = entry.entryInfo[i];
        }
        row.second = bcdValue(entry.second);
        row.minute = bcdValue(entry.minute);
        row.hour = bcdValue(entry.hour);
        row.day = bcdValue(entry.day);
        row.month = bcdValue(entry.month);
        row.year = bcdValue(entry.year);
        row.setting1[slot] = entry.setting1[k];
        row.setting2[slot] = entry.setting2[k];
        applyRecordFormat(row, entry, firmware);
    }
}

void RecordTableBuilder::sortAndMerge() {
    if (count_ > 1) {
        sortRows();
        mergeCopies();
    }
}

void RecordTableBuilder::sortRows() {
    // A selection sort, kept as it is: rows with equal keys that are not merged keep the
    // order this exact procedure gives them.
    for (int j = 0; j < count_ - 1; ++j) {
        int candidate = j;
        std::int64_t candidateKey = recordSortKey(row(j));
        for (int i = j + 1; i < count_; ++i) {
            const std::int64_t key = recordSortKey(row(i));
            if (key < candidateKey) {
                candidate = i;
                candidateKey = key;
            }
        }
        if (candidate != j) {
            std::swap(rows_[static_cast<std::size_t>(j)],
                      rows_[static_cast<std::size_t>(candidate)]);
        }
    }
}

void RecordTableBuilder::mergeCopies() {
    for (int l = 1; l <= count_ - 1; ++l) {
        RecordInfo& p = rows_[static_cast<std::size_t>(l - 1)];
        const RecordInfo& q = rows_[static_cast<std::size_t>(l)];
        if (!sameRecord(p, q)) {
            continue;
        }
        if (p.addrA == kNoCopy) {
            p.addrA = q.addrA;
            p.setting1[0] = q.setting1[0];
            p.setting2[0] = q.setting2[0];
        } else {
            p.addrB = q.addrB;
            p.setting1[1] = q.setting1[1];
            p.setting2[1] = q.setting2[1];
        }
        for (int i = l + 1; i < count_; ++i) {
            rows_[static_cast<std::size_t>(i - 1)] = rows_[static_cast<std::size_t>(i)];
        }
        --count_;
    }
}

}  // namespace kelvra
