#include "fuzz/harness/RecordTableRun.h"

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <string>

#include "download/DownloadQueue.h"
#include "download/WavFormat.h"
#include "link/LinkBytes.h"
#include "records/DirEntry.h"
#include "records/RecordListLine.h"
#include "records/RecordTableBuilder.h"

namespace kelvra::fuzz {

namespace {

constexpr std::size_t kHeaderSize = 3;
constexpr int kMaxRecordsPerEntry = 4;

void checkRows(const RecordTableBuilder& table, int expanded, Findings& findings) {
    expect(findings, table.rowCount() >= 0 && table.rowCount() <= RecordTableBuilder::kCapacity,
           "the table holds " + std::to_string(table.rowCount()) + " rows");
    expect(findings, table.rowCount() <= expanded,
           "merging made more rows than the entries hold records");
    for (int i = 0; i < table.rowCount(); ++i) {
        const RecordInfo& row = table.row(i);
        const std::string at = "row " + std::to_string(i) + " ";
        expect(findings, row.addrA != kNoCopy || row.addrB != kNoCopy, at + "names no copy");
        expect(findings, row.recordNo >= 1 && row.recordNo <= kMaxRecordsPerEntry,
               at + "has record number " + std::to_string(row.recordNo));
        if (i > 0) {
            expect(findings, recordSortKey(table.row(i - 1)) <= recordSortKey(row),
                   at + "sorts before the row above it");
        }
    }
}

void checkListLine(const RecordInfo& row, int index, Findings& findings) {
    const std::string line = recordListLine(row);
    const std::string marker = recordMarker(row);
    const std::string at = "line " + std::to_string(index) + " ";
    const auto letters =
        std::count_if(marker.begin(), marker.end(), [](char c) { return c == 'A' || c == 'B'; });
    const int copies = (row.addrA != kNoCopy ? 1 : 0) + (row.addrB != kNoCopy ? 1 : 0);
    expect(findings, marker.size() == 3 && letters == copies,
           at + "marks " + std::to_string(letters) + " copies of " + std::to_string(copies));
    expect(findings, line.size() > marker.size() && line.ends_with(marker),
           at + "does not end with its marker");
}

void checkQueue(const RecordInfo* rows, int rowCount, const int* lines, int count,
                Findings& findings) {
    auto job = std::make_unique<DownloadJob>();
    CBlockPort present;
    present.present = true;
    const QueuedLines queued =
        queueSelectedLines(*job, rows, rowCount, lines, count, present, present);
    expect(findings, queued.queued + static_cast<int>(queued.tooLong.size()) == count,
           "a selected line was neither queued nor refused");
    std::set<std::string> names;
    std::uint64_t total = 0;
    for (int i = 0; i < queued.queued; ++i) {
        const DownloadItem& item = job->downloadQueue[static_cast<std::size_t>(i)];
        const std::string& name = item.fileName;
        expect(findings, names.insert(name).second, "two records of a job go to '" + name + "'");
        expect(findings,
               name.size() > 4 && name.ends_with(".wav") &&
                   name.find_first_of(std::string("/\\\0", 3)) == std::string::npos,
               "'" + name + "' is not a plain WAV file name");
        expect(findings, item.channelBytes() <= kMaxRecordChannelBytes,
               "'" + name + "' was queued though the link cannot count its channels");
        total += item.channelBytes();
    }
    expect(findings, job->jobBytesTotal == total && job->jobBytesLeft == total,
           "the job's byte count is not the sum of its records");
}

}  // namespace

Findings runRecordTable(std::span<const std::uint8_t> input) {
    Findings findings;
    if (input.size() < kHeaderSize) {
        return findings;
    }
    const int firmware[2] = {input[0], input[1]};
    const std::size_t entriesOfA = input[2];
    const std::span<const std::uint8_t> entries = input.subspan(kHeaderSize);

    auto table = std::make_unique<RecordTableBuilder>();
    int expanded = 0;
    for (std::size_t e = 0; (e + 1) * kDirEntrySize <= entries.size(); ++e) {
        const DirEntry entry = DirEntry::fromBytes(entries.data() + e * kDirEntrySize);
        const int slot = e < entriesOfA ? 0 : 1;
        table->addEntry(entry, slot, firmware[slot]);
        expanded += std::min<int>(entry.recordCount, kMaxRecordsPerEntry);
    }
    table->sortAndMerge();
    checkRows(*table, expanded, findings);

    // What the window lists and keeps: at most kRecordRows rows.
    const int listed = std::min(table->rowCount(), kRecordRows);
    std::array<RecordInfo, kRecordRows> rows{};
    std::array<int, kRecordRows> lines{};
    for (int i = 0; i < listed; ++i) {
        rows[static_cast<std::size_t>(i)] = table->row(i);
        lines[static_cast<std::size_t>(i)] = i;
        checkListLine(table->row(i), i, findings);
    }
    for (int first = 0; first < listed; first += kQueueCapacity) {
        checkQueue(rows.data(), listed, lines.data() + first,
                   std::min(kQueueCapacity, listed - first), findings);
    }
    std::set<std::string> names;
    for (const std::string& name : tableFileNames(rows.data(), listed)) {
        expect(findings, names.insert(name).second,
               "two rows of the table are named '" + name + "'");
    }
    return findings;
}

}  // namespace kelvra::fuzz
