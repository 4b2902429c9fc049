#include "cli/GuardedClear.h"

#include <cstdio>
#include <vector>

#include "download/ContentSample.h"
#include "download/DownloadManifest.h"
#include "download/DownloadQueue.h"
#include "link/LinkExchanges.h"
#include "link/Messages.h"
#include "platform/file/FilePath.h"

namespace kelvra::cli {

namespace {

// Whether every record of the blocks present has an intact file in `folder` that its manifest
// attributes to the record, with the copies of those blocks, and that holds what the blocks
// hold: the same directory can come back after a clear with other recordings behind it. Lists
// those that have none.
bool everyRecordDownloaded(CliStation& station, const std::string& folder) {
    const DownloadManifest manifest = DownloadManifest::load(folder);
    for (const std::string& line : manifest.unreadable()) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    const std::vector<std::string> names =
        tableFileNames(station.recordTable.data(), station.rowCount());
    int missing = 0;
    for (int i = 0; i < station.rowCount(); ++i) {
        const DownloadItem item = itemFor(station.recordTable[static_cast<std::size_t>(i)], i,
                                          station.slotA, station.slotB);
        std::string refuted;
        const auto holdsRecord = [&](const std::string& file) {
            const ContentCheck check = compareContent(station.slotA, station.slotB, item,
                                                      platform::pathInFolder(folder, file), true);
            if (check.match == ContentMatch::Same) {
                return true;
            }
            refuted = file + " (" + describeContentCheck(check) + ")";
            return false;
        };
        if (intactFileOf(folder, manifest, item.identity, holdsRecord)) {
            continue;
        }
        if (refuted.empty()) {
            std::fprintf(stderr, "Line %d: %s is not in %s\n", i + 1,
                         names[static_cast<std::size_t>(i)].c_str(), folder.c_str());
        } else {
            std::fprintf(stderr, "Line %d: %s does not hold what the blocks hold: %s\n", i + 1,
                         names[static_cast<std::size_t>(i)].c_str(), refuted.c_str());
        }
        ++missing;
    }
    if (missing > 0) {
        std::fprintf(stderr,
                     "Nothing was cleared: %d of %d records have no intact file in %s that its "
                     "%s attributes to them and that holds their samples\n",
                     missing, station.rowCount(), folder.c_str(), kManifestFileName);
    }
    return missing == 0;
}

}  // namespace

ClearGuard checkDownloadedTo(CliStation& station, const std::string& folder) {
    // The link has no checksum: one spoiled count byte would hide records from the guard.
    // The directories count only when a second read gives the same rows.
    bool steady = false;
    if (!station.readTableTwice(steady)) {
        return ClearGuard::LinkFailed;
    }
    if (!steady) {
        std::fprintf(stderr,
                     "Nothing was cleared: the blocks' directories read differently twice "
                     "(a disturbed line?); try again\n");
        return ClearGuard::Refused;
    }
    return everyRecordDownloaded(station, folder) ? ClearGuard::Passed : ClearGuard::Refused;
}

std::string clearBlocks(CliStation& station) {
    // Both blocks are told before either answer is awaited, as the window does.
    bool lastWritten = true;
    if (station.slotA.present) {
        lastWritten = sendClearMemory(*station.slotA.handle);
    }
    if (station.slotB.present && lastWritten) {
        lastWritten = sendClearMemory(*station.slotB.handle);
    }
    if (!lastWritten) {
        return messages::kUnableToWritePort;
    }
    for (CBlockPort* block : {&station.slotA, &station.slotB}) {
        if (block->present && !awaitClearMemoryAck(*block->handle)) {
            return messages::kNoAcknowledge;
        }
    }
    if (!station.readTable()) {
        return station.fatalError();
    }
    return {};
}

}  // namespace kelvra::cli
