#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <vector>

#include "cli/CliStation.h"
#include "cli/Commands.h"
#include "cli/DownloadRun.h"
#include "cli/ExitStatus.h"
#include "cli/LevelWarnings.h"
#include "cli/RecordText.h"
#include "cli/StationWait.h"
#include "download/DownloadManifest.h"
#include "platform/console/Console.h"
#include "platform/json/JsonWriter.h"

namespace kelvra::cli {

namespace {

// Blocks plugged in together answer within a tick or two of each other; one that was still
// starting when its port was first greeted is greeted again at the monitor's tenth tick.
constexpr int kPartnerSeconds = 12;

std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// Each requested line's outcome on standard output, a line of text or of JSON.
class PrintedLines : public LineReport {
public:
    explicit PrintedLines(bool json)
        : json_(json), outputInSight_(platform::standardOutputIsTerminal()) {}

    // A channel that is silent or clipped is told on standard error, as the other warnings.
    void written(int line, const std::string& file, const std::string& note,
                 const std::string& warning, const FileChannels& channels) override {
        report(line, file, "written", note, warning, &channels);
        for (const std::string& text : levelWarnings(file, channels)) {
            std::fprintf(stderr, "%s\n", text.c_str());
        }
    }
    void skipped(int line, const std::string& file) override {
        report(line, file, "skipped", "complete already");
    }

private:
    void reportFailure(int line, const std::string& file, const std::string& why) override {
        report(line, file, "failed", why);
    }

    void report(int line, const std::string& file, const char* status, const std::string& why,
                const std::string& warning = "", const FileChannels* channels = nullptr) {
        std::string text;
        if (json_) {
            platform::JsonObject object;
            object.add("index", line + 1).add("status", status);
            if (file.empty()) {
                object.addNull("file");
            } else {
                object.add("file", file);
            }
            if (!why.empty()) {
                object.add("message", why);
            }
            if (!warning.empty()) {
                object.add("warning", warning);
            }
            if (channels != nullptr) {
                object.add("channels", channelsJson(*channels));
            }
            text = object.text();
        } else {
            text = "Line " + std::to_string(line + 1) + ": " + status + " " + file;
            if (!why.empty()) {
                text += " (" + why + ")";
            }
        }
        // Standard output may be a pipe whose reader has gone: the download goes on, and what
        // it could not take goes to standard error. A failure is shown there too when standard
        // output is not in front of the user, but never twice on one screen.
        const bool delivered = std::printf("%s\n", text.c_str()) >= 0 && std::fflush(stdout) == 0;
        const bool failure = std::string(status) == "failed";
        if (!delivered) {
            std::fprintf(stderr, "%s\n", text.c_str());
        } else if (failure && !outputInSight_) {
            std::fprintf(stderr, "Line %d: %s\n", line + 1, why.c_str());
        }
        // A file written but not fully accounted for is told on standard error in any case.
        if (!warning.empty()) {
            std::fprintf(stderr, "Line %d: %s written, but %s\n", line + 1, file.c_str(),
                         warning.c_str());
        }
    }

    bool json_;
    const bool outputInSight_;
};

// The lines the request names, from 0, or the exit status of a request that names none well.
std::optional<std::vector<int>> selectLines(const CliStation& station,
                                            const DownloadRequest& request, int& status) {
    std::vector<int> lines;
    const int rows = station.rowCount();
    if (request.all) {
        for (int i = 0; i < rows; ++i) {
            lines.push_back(i);
        }
    } else if (request.sinceGiven) {
        const ParsedMoment since = parseMoment(request.since);
        for (int i = 0; i < rows; ++i) {
            if (recordMoment(station.recordTable[static_cast<std::size_t>(i)]) >= *since.moment) {
                lines.push_back(i);
            }
        }
    } else {
        for (const int line : request.lines) {
            if (line < 1 || line > rows) {
                std::fprintf(stderr, "Line %d: there is no such line (the list has %d)\n", line,
                             rows);
                status = kExitUsage;
                return std::nullopt;
            }
            lines.push_back(line - 1);
        }
        // A selection, as the window's list makes it: each line once, in list order.
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    }
    return lines;
}

// Says which block is absent before a job starts: its channel of every file is silent, and the
// manifest notes the file as made without it.
void noteAbsentBlocks(const CliStation& station) {
    for (const auto& [slot, name] :
         {std::pair{&station.slotA, 'A'}, std::pair{&station.slotB, 'B'}}) {
        if (!slot->present) {
            std::fprintf(stderr,
                         "Block %c is not present: its channel of every file is silent; once it "
                         "is back, --skip-existing reads those records again\n",
                         name);
        }
    }
}

// No block is there: waits for one, and once one is, gives its partner the time a block
// plugged in with it takes to answer (a port that did not answer is tried again after ten
// ticks). kExitDone once a block is there.
int awaitBlocks(CliStation& station, Pace& pace) {
    std::fprintf(stderr, "Waiting for the blocks… (Ctrl+C stops)\n");
    for (;;) {
        tickUntil(station, pace, 1, [&] { return station.anyBlock(); });
        int partnerTicks = kPartnerSeconds;
        tickUntil(station, pace, 1, [&] {
            return (station.slotA.present && station.slotB.present) || partnerTicks-- == 0;
        });
        if (!station.fatalError().empty()) {
            return linkFailure(station);
        }
        if (pace.stops() > 0) {
            std::fprintf(stderr, "Stopped while waiting for the blocks\n");
            return kExitNoBlocks;
        }
        // A block that went again while its partner was awaited is waited for anew.
        if (station.anyBlock()) {
            return kExitDone;
        }
    }
}

}  // namespace

int runDownload(platform::SerialBackend& backend, platform::Clock& clock, Pace& pace,
                const DownloadRequest& request) {
    std::error_code error;
    const auto folder = std::filesystem::status(utf8Path(request.folder), error);
    if (!std::filesystem::is_directory(folder)) {
        std::fprintf(stderr, "--out %s: %s\n", request.folder.c_str(),
                     std::filesystem::exists(folder)
                         ? "not a folder; give the folder the files are to go into"
                         : "no such folder; make it first, or give one that is there");
        return kExitUsage;
    }
    // What the user typed is judged before the blocks are looked for.
    if (request.sinceGiven) {
        const ParsedMoment since = parseMoment(request.since);
        if (!since.moment) {
            std::fprintf(stderr, "--since %s: %s\n",
                         request.since.empty() ? "\"\"" : request.since.c_str(),
                         since.error.c_str());
            return kExitUsage;
        }
    }
    // A terminal closed or a termination request stops the job as Ctrl+C does: after the pair
    // in hand, with the partial file named. A wait for the blocks ends at once.
    std::optional<CaughtStopRequests> caught;
    if (request.wait) {
        caught.emplace(pace);
    }
    CliStation station(backend, clock);
    if (!station.discover()) {
        return linkFailure(station);
    }
    if (!station.anyBlock()) {
        if (!request.wait) {
            return noBlocksFound();
        }
        if (const int status = awaitBlocks(station, pace); status != kExitDone) {
            return status;
        }
    }
    if (!station.readTable()) {
        return linkFailure(station);
    }
    int status = kExitDone;
    const auto lines = selectLines(station, request, status);
    if (!lines) {
        return status;
    }
    if (lines->empty()) {
        std::fprintf(stderr, "No line to read\n");
        return kExitDone;
    }
    noteAbsentBlocks(station);
    if (!caught) {
        caught.emplace(pace);
    }
    PrintedLines report(request.json);
    DownloadSettings settings;
    settings.folder = request.folder;
    settings.skipExisting = request.skipExisting;
    settings.verify = request.verify;
    settings.waitForBlocks = request.wait;
    downloadLines(station, pace, settings, *lines, report);
    return report.anyFailed() ? kExitFailed : kExitDone;
}

}  // namespace kelvra::cli
