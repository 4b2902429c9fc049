#include <cstdio>
#include <filesystem>
#include <vector>

#include "cli/CliStation.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/GuardedClear.h"
#include "cli/RecordText.h"
#include "download/DownloadManifest.h"
#include "download/DownloadQueue.h"
#include "download/WavFormat.h"
#include "link/LinkExchanges.h"
#include "link/Messages.h"
#include "platform/file/FilePath.h"
#include "platform/json/JsonWriter.h"
#include "records/RecordListLine.h"

namespace kelvra::cli {

int runList(platform::SerialBackend& backend, platform::Clock& clock, bool json) {
    CliStation station(backend, clock);
    if (const int status = openStation(station, true); status != kExitDone) {
        return status;
    }
    const std::vector<std::string> names =
        tableFileNames(station.recordTable.data(), station.rowCount());
    for (int i = 0; i < station.rowCount(); ++i) {
        const RecordInfo& row = station.recordTable[static_cast<std::size_t>(i)];
        const std::string line = recordListLine(row);
        if (!json) {
            std::printf("%3d\t%s\n", i + 1, line.c_str());
            continue;
        }
        platform::JsonObject object;
        object.add("index", i + 1)
            .add("time", isoDateTime(row))
            .add("record", row.recordNo)
            .add("blocks", blocksHolding(row))
            .add("marker", recordMarker(row))
            .add("sampleRate", row.sampleRate)
            .add("duration", row.duration)
            .add("bytesPerChannel", static_cast<std::int64_t>(row.sampleRate) * row.duration * 2);
        const std::string& name = names[static_cast<std::size_t>(i)];
        if (static_cast<std::uint64_t>(row.sampleRate) * row.duration * 2 >
            kMaxRecordChannelBytes) {
            object.addNull("file");
        } else {
            object.add("file", name);
        }
        object.add("line", line);
        std::printf("%s\n", object.text().c_str());
    }
    return kExitDone;
}

int runClock(platform::SerialBackend& backend, platform::Clock& clock) {
    CliStation station(backend, clock);
    if (const int status = openStation(station, false); status != kExitDone) {
        return status;
    }
    if (!station.slotA.present) {
        std::fprintf(stderr, "Block A was not found: only block A's clock is set\n");
        return kExitFailed;
    }
    const platform::LocalTime time = clock.atStartOfSecond();
    if (!setClock(*station.slotA.handle, time)) {
        std::fprintf(stderr, "%s\n", messages::kNoAcknowledgeT1);
        return kExitFailed;
    }
    std::printf("Block A's clock set to %04d-%02d-%02dT%02d:%02d:%02d\n", time.year, time.month,
                time.day, time.hour, time.minute, time.second);
    return kExitDone;
}

int runClear(platform::SerialBackend& backend, platform::Clock& clock, bool confirmed,
             const std::string& downloadedTo) {
    if (!confirmed) {
        std::fprintf(stderr, "clear erases every record of both blocks: add --yes to do it\n");
        return kExitUsage;
    }
    std::error_code error;
    if (!downloadedTo.empty() &&
        !std::filesystem::is_directory(std::u8string(downloadedTo.begin(), downloadedTo.end()),
                                       error)) {
        std::fprintf(stderr, "%s: no such folder\n", downloadedTo.c_str());
        return kExitUsage;
    }
    CliStation station(backend, clock);
    if (const int status = openStation(station, false); status != kExitDone) {
        return status;
    }
    if (!downloadedTo.empty()) {
        switch (checkDownloadedTo(station, downloadedTo)) {
            case ClearGuard::Passed:
                break;
            case ClearGuard::Refused:
                return kExitFailed;
            case ClearGuard::LinkFailed:
                return linkFailure(station);
        }
    }
    if (const std::string failure = clearBlocks(station); !failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        return kExitFailed;
    }
    // Only the blocks that were there were told: a block that was not is left as it was.
    for (const CBlockPort* block : {&station.slotA, &station.slotB}) {
        const char slot = block == &station.slotA ? 'A' : 'B';
        if (block->present) {
            std::printf("Block %c (S/N %04d-%03d) cleared\n", slot, 2000 + block->serialYear,
                        block->serialNumber);
        } else {
            std::printf("Block %c was not present: its memory was not cleared\n", slot);
        }
    }
    std::printf("%d records left\n", station.rowCount());
    return kExitDone;
}

int runDelete(platform::SerialBackend& backend, platform::Clock& clock, int line, bool confirmed) {
    if (!confirmed) {
        std::fprintf(stderr,
                     "delete removes the whole entry from both blocks: add --yes to do it\n");
        return kExitUsage;
    }
    CliStation station(backend, clock);
    if (const int status = openStation(station, true); status != kExitDone) {
        return status;
    }
    if (line < 1 || line > station.rowCount()) {
        std::fprintf(stderr, "Line %d: there is no such line (the list has %d)\n", line,
                     station.rowCount());
        return kExitUsage;
    }
    const RecordInfo row = station.recordTable[static_cast<std::size_t>(line - 1)];
    if (row.recordNo != 1) {
        // Entries of one date and time (a block whose clock was reset) interleave in the list:
        // the first record is found by the entry's addresses.
        int first = 0;
        for (int i = 0; i < station.rowCount() && first == 0; ++i) {
            const RecordInfo& other = station.recordTable[static_cast<std::size_t>(i)];
            if (other.recordNo == 1 && other.addrA == row.addrA && other.addrB == row.addrB &&
                isoDateTime(other) == isoDateTime(row)) {
                first = i + 1;
            }
        }
        if (first == 0) {
            std::fprintf(stderr,
                         "Line %d is record %d of an entry whose first record is not listed: "
                         "entries are deleted by their first record's line\n",
                         line, row.recordNo);
        } else {
            std::fprintf(stderr,
                         "Line %d is record %d of an entry: entries are deleted by their first "
                         "record's line, here line %d\n",
                         line, row.recordNo, first);
        }
        return kExitUsage;
    }
    if (!station.slotA.present || !station.slotB.present) {
        std::fprintf(stderr, "Entries are deleted only with both blocks present\n");
        return kExitFailed;
    }
    if (row.addrA != kNoCopy) {
        deleteEntry(*station.slotA.handle, static_cast<std::uint8_t>(row.addrA & 0xFF));
    }
    if (row.addrB != kNoCopy) {
        deleteEntry(*station.slotB.handle, static_cast<std::uint8_t>(row.addrB & 0xFF));
    }
    if (!station.readTable()) {
        return linkFailure(station);
    }
    // Line numbers shift once the entry is gone: it is named by what it was.
    const int records = row.recordsInEntry < 4 ? row.recordsInEntry : 4;
    std::printf("Deleted the entry of %s with %d record%s (line %d); %d records left\n",
                isoDateTime(row).c_str(), records, records == 1 ? "" : "s", line,
                station.rowCount());
    return kExitDone;
}

}  // namespace kelvra::cli
