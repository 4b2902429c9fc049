#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliStation.h"
#include "cli/Commands.h"
#include "cli/DownloadRun.h"
#include "cli/ExitStatus.h"
#include "cli/FolderCheck.h"
#include "cli/GuardedClear.h"
#include "cli/LevelWarnings.h"
#include "cli/RecordText.h"
#include "cli/StationWait.h"
#include "platform/file/FilePath.h"
#include "platform/json/JsonWriter.h"

namespace kelvra::cli {

namespace {

std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// What became of one pair, for its summary line.
struct PairSummary {
    std::string name;
    std::string folder;
    int records = 0;
    int written = 0;
    int skipped = 0;
    int failed = 0;
    std::uint64_t bytes = 0;  // of the files written now
    std::chrono::milliseconds time{0};
    // "FILE: what is wrong", for each file written with a warning or not ok when verified.
    std::vector<std::string> warnings;
    bool verified = false;
    bool clearAsked = false;
    bool cleared = false;
    // Why the pair was not served to its end (the folder, the link), or empty.
    std::string failure;

    // A line failed, the folder does not verify, or the pair was not served to its end.
    bool readFailed() const { return failed > 0 || !verified || !failure.empty(); }
    bool anyFailed() const { return readFailed() || (clearAsked && !cleared && records > 0); }
};

// A pair's lines as they end: what went wrong on standard error, the counts for the summary.
class PairTally : public LineReport {
public:
    explicit PairTally(PairSummary& summary) : summary_(summary) {}

    void written(int line, const std::string& file, const std::string& note,
                 const std::string& warning, const FileChannels& channels) override {
        ++summary_.written;
        std::error_code error;
        const auto size = std::filesystem::file_size(
            utf8Path(platform::pathInFolder(summary_.folder, file)), error);
        summary_.bytes += error ? 0 : size;
        if (!note.empty()) {
            std::fprintf(stderr, "Line %d: %s (%s)\n", line + 1, file.c_str(), note.c_str());
        }
        std::vector<std::string> warnings = levelWarnings(file, channels);
        for (const std::string& text : warnings) {
            std::fprintf(stderr, "%s\n", text.c_str());
        }
        if (!warning.empty()) {
            std::fprintf(stderr, "Line %d: %s written, but %s\n", line + 1, file.c_str(),
                         warning.c_str());
            std::string text = file;
            text += ": ";
            text += warning;
            warnings.push_back(text);
        }
        // One entry per file, however many of its channels warn.
        if (!warnings.empty()) {
            std::string text = warnings.front();
            for (std::size_t i = 1; i < warnings.size(); ++i) {
                text += "; ";
                text += warnings[i];
            }
            summary_.warnings.push_back(text);
        }
    }
    void skipped(int, const std::string&) override { ++summary_.skipped; }

private:
    void reportFailure(int line, const std::string& file, const std::string& why) override {
        ++summary_.failed;
        std::fprintf(stderr, "Line %d: failed %s (%s)\n", line + 1, file.c_str(), why.c_str());
    }

    PairSummary& summary_;
};

void printSummary(const PairSummary& summary, bool json) {
    const auto milliseconds = static_cast<std::int64_t>(summary.time.count());
    if (json) {
        platform::JsonObject object;
        object.add("pair", summary.name)
            .add("folder", summary.folder)
            .add("records", summary.records)
            .add("written", summary.written)
            .add("skipped", summary.skipped)
            .add("failed", summary.failed)
            .add("bytes", static_cast<std::int64_t>(summary.bytes))
            .add("milliseconds", milliseconds)
            .add("warnings", summary.warnings)
            .add("verified", summary.verified);
        if (summary.clearAsked) {
            object.add("cleared", summary.cleared);
        } else {
            object.addNull("cleared");
        }
        if (!summary.failure.empty()) {
            object.add("message", summary.failure);
        }
        std::printf("%s\n", object.text().c_str());
    } else {
        char head[256];
        std::snprintf(head, sizeof head,
                      "%s: %d records (%d read, %d there already, %d failed), %llu bytes in "
                      "%lld.%01lld s, %zu files with warnings, ",
                      summary.name.c_str(), summary.records, summary.written, summary.skipped,
                      summary.failed, static_cast<unsigned long long>(summary.bytes),
                      static_cast<long long>(milliseconds / 1000),
                      static_cast<long long>(milliseconds % 1000 / 100), summary.warnings.size());
        std::string line = head;
        line += summary.verified ? "verified" : "not verified";
        if (summary.clearAsked) {
            line += summary.cleared ? ", cleared" : ", not cleared";
        }
        if (!summary.failure.empty()) {
            line += " (";
            line += summary.failure;
            line += ")";
        }
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
}

// Every record the pair lacks into its own folder, the folder checked, and with `clear` the
// blocks cleared once the guard has proven every record there.
PairSummary servePair(CliStation& station, Pace& pace, const OffloadRequest& request) {
    const auto start = std::chrono::steady_clock::now();
    PairSummary summary;
    summary.name = pairName(station);
    summary.folder = platform::pathInFolder(request.folder, summary.name);
    summary.clearAsked = request.clear;
    const auto finish = [&] {
        summary.time = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        return summary;
    };
    std::error_code error;
    std::filesystem::create_directory(utf8Path(summary.folder), error);
    if (!std::filesystem::is_directory(utf8Path(summary.folder), error)) {
        summary.failure = "cannot make the folder ";
        summary.failure += summary.folder;
        return finish();
    }
    if (!station.readTable()) {
        summary.failure = station.fatalError();
        return finish();
    }
    summary.records = station.rowCount();
    std::fprintf(stderr, "Pair %s: %d records on the blocks, into %s\n", summary.name.c_str(),
                 summary.records, summary.folder.c_str());
    std::vector<int> lines;
    for (int i = 0; i < summary.records; ++i) {
        lines.push_back(i);
    }
    PairTally tally(summary);
    DownloadSettings settings;
    settings.folder = summary.folder;
    settings.skipExisting = true;
    // The first stop request ends the program after this pair; the second ends the transfer.
    settings.stopsToEnd = 2;
    downloadLines(station, pace, settings, lines, tally);

    const FolderCheck check = checkFolder(summary.folder);
    summary.verified = check.allListedOk();
    for (const auto& [name, status] : check.listed) {
        if (status != FileCheck::Ok) {
            std::fprintf(stderr, "%s: %s\n", name.c_str(), checkName(status));
            summary.warnings.push_back(name + ": " + checkName(status));
        }
    }
    if (!station.fatalError().empty()) {
        summary.failure = station.fatalError();
    }
    if (!request.clear || summary.readFailed() || summary.records == 0) {
        return finish();
    }
    // The guard reads the blocks again and proves every record in the folder: what the
    // download reported is not taken at its word.
    switch (checkDownloadedTo(station, summary.folder)) {
        case ClearGuard::Passed:
            if (const std::string failure = clearBlocks(station); failure.empty()) {
                summary.cleared = true;
            } else {
                summary.failure = failure;
            }
            break;
        case ClearGuard::Refused:
            break;
        case ClearGuard::LinkFailed:
            summary.failure = station.fatalError();
            break;
    }
    return finish();
}

bool bothPresent(const CliStation& station) {
    return station.slotA.present && station.slotB.present;
}

// Waits until both slots hold a block, saying what it waits for: a lone block is not served,
// since every file of a pair takes a channel from each block. False on a stop or a fatal error.
bool awaitPair(CliStation& station, Pace& pace) {
    std::string said;
    return tickUntil(station, pace, 1, [&] {
        if (bothPresent(station)) {
            return true;
        }
        std::string state = "Waiting for a pair of blocks…";
        for (const CBlockPort* slot : {&station.slotA, &station.slotB}) {
            if (slot->present) {
                const bool a = slot == &station.slotA;
                state = describeBlock(a, slot->serialYear, slot->serialNumber, slot->firmware);
                state += " is here; waiting for its partner in slot ";
                state += a ? 'B' : 'A';
                state += " (offload serves pairs; kelvra-cli download reads a lone block)";
            }
        }
        if (state != said) {
            std::fprintf(stderr, "%s\n", state.c_str());
            said = state;
        }
        return false;
    });
}

}  // namespace

int runOffload(platform::SerialBackend& backend, platform::Clock& clock, Pace& pace,
               const OffloadRequest& request) {
    std::error_code error;
    if (!std::filesystem::is_directory(utf8Path(request.folder), error)) {
        std::fprintf(stderr, "--out %s: no such folder; make it first, or give one that is there\n",
                     request.folder.c_str());
        return kExitUsage;
    }
    const CaughtStopRequests caught(pace);
    CliStation station(backend, clock);
    bool anyFailed = false;
    if (station.discover()) {
        while (awaitPair(station, pace)) {
            const PairSummary summary = servePair(station, pace, request);
            printSummary(summary, request.json);
            anyFailed = anyFailed || summary.anyFailed();
            if (request.once || pace.stops() > 0 || !station.fatalError().empty()) {
                break;
            }
            // The next pair is another one, or this one plugged in again: until these blocks
            // leave, they are not served twice.
            std::fprintf(stderr, "Pair %s done: waiting for the next pair\n", summary.name.c_str());
            const std::string served = pairName(station);
            if (!tickUntil(station, pace, 1,
                           [&] { return !bothPresent(station) || pairName(station) != served; })) {
                break;
            }
        }
    }
    if (!station.fatalError().empty()) {
        linkFailure(station);
        return kExitFailed;
    }
    return anyFailed ? kExitFailed : kExitDone;
}

}  // namespace kelvra::cli
