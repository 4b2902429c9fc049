#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#include "cli/CliDownloadHost.h"
#include "cli/CliStation.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/RecordText.h"
#include "download/ContentSample.h"
#include "download/DownloadQueue.h"
#include "link/Messages.h"
#include "platform/console/Console.h"
#include "platform/file/FilePath.h"
#include "platform/json/JsonWriter.h"

namespace kelvra::cli {

namespace {

std::atomic<bool> interrupted{false};

void onStopRequest() {
    interrupted = true;
}

std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// What became of each requested line, reported once the job has ended.
class LineReport {
public:
    explicit LineReport(bool json)
        : json_(json), outputInSight_(platform::standardOutputIsTerminal()) {}

    // `note` says why the record did not take an earlier name, when something there was kept;
    // `warning` what went wrong once the file was complete (see DownloadItem::warning).
    void written(int line, const std::string& file, const std::string& note,
                 const std::string& warning) {
        report(line, file, "written", note, warning);
    }
    void skipped(int line, const std::string& file) {
        report(line, file, "skipped", "complete already");
    }
    void failed(int line, const std::string& file, const std::string& why) {
        failures_ = true;
        report(line, file, "failed", why);
    }
    bool anyFailed() const { return failures_; }

private:
    void report(int line, const std::string& file, const char* status, const std::string& why,
                const std::string& warning = "") {
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
    bool failures_ = false;
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

// Monitor ticks each second and recovery ticks each ten, as the window's timers run, until the
// session no longer waits or the user interrupts.
void awaitRecovery(CliStation& station, DownloadSession& session) {
    using Clock = std::chrono::steady_clock;
    auto nextMonitor = Clock::now() + std::chrono::seconds(1);
    auto nextRecovery = Clock::now() + std::chrono::seconds(10);
    while (session.state() == DownloadState::WaitingForRecovery && !interrupted &&
           station.fatalError().empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto now = Clock::now();
        if (now >= nextMonitor) {
            station.tick();
            nextMonitor = Clock::now() + std::chrono::seconds(1);
        }
        if (now >= nextRecovery && station.fatalError().empty()) {
            session.recoveryTick();
            nextRecovery = Clock::now() + std::chrono::seconds(10);
        }
    }
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

// One job of at most a queue's worth of lines, from start to end, with every line reported.
// False when the job ended early: the lines after it are not read.
bool runJob(CliStation& station, const DownloadRequest& request, const std::vector<int>& lines,
            LineReport& report) {
    ProgressReport progress(platform::standardErrorTerminal());
    CliDownloadHost host(progress, interrupted, station.slotA, station.slotB);
    DownloadSession session(station.slotA, station.slotB, station.recordTable.data(), host);
    host.watch(session);
    station.watch(session);

    const QueuedLines queued =
        session.queueLines(lines.data(), static_cast<int>(lines.size()), station.rowCount());
    for (const int line : queued.tooLong) {
        report.failed(line, "", messages::kRecordTooLong);
    }
    session.checkReads(request.verify);
    // The manifest and the hash tell what a file holds, not that it is what the blocks hold
    // now: a block cleared and recording again can list the same directory. A block that
    // streams only whole records is taken at its directory's word.
    const auto holdsRecord = [&](const DownloadItem& item, const std::string& file) {
        const ContentCheck check =
            compareContent(station.slotA, station.slotB, item,
                           platform::pathInFolder(request.folder, file), false);
        if (!contentAgrees(check)) {
            std::fprintf(stderr,
                         "Line %d: %s does not hold what the blocks hold now (%s): the record is "
                         "read again\n",
                         item.row + 1, file.c_str(), describeContentCheck(check).c_str());
        }
        return check;
    };
    for (const DownloadItem& item :
         session.placeFiles(request.folder, request.skipExisting, holdsRecord)) {
        report.skipped(item.row, item.fileName);
    }
    for (const std::string& line : session.unreadableManifestLines()) {
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    const DownloadJob& job = session.job();
    if (job.queueLength == 0) {
        return true;
    }

    session.start();
    std::string ended;
    for (;;) {
        host.join();
        if (!host.fatal().empty() || !station.fatalError().empty()) {
            ended = !host.fatal().empty() ? host.fatal() : station.fatalError();
            session.abandon();
            break;
        }
        if (interrupted) {
            ended = "interrupted";
            session.abandon();
            break;
        }
        if (session.state() == DownloadState::WaitingForRecovery) {
            awaitRecovery(station, session);
            continue;
        }
        if (job.queuePos < job.queueLength) {
            ended = host.lastMessage();
        }
        break;
    }
    if (job.queuePos == job.queueLength) {
        // The worker draws no progress after the job's last pair: the report ends at 100% here.
        const DownloadItem& last = job.downloadQueue[static_cast<std::size_t>(job.queueLength - 1)];
        progress.update(last.fileName, job.jobBytesTotal, 0);
    }
    progress.finish();

    for (int i = 0; i < job.queueLength; ++i) {
        const DownloadItem& item = job.downloadQueue[static_cast<std::size_t>(i)];
        const std::string why = i < job.queuePos ? item.failure : i == job.queuePos ? ended : "";
        if (i > job.queuePos) {
            report.failed(item.row, item.fileName, "not read: the job ended before it");
        } else if (why.empty()) {
            std::string notes = item.placementNote;
            if (!item.resumeNote.empty()) {
                notes += notes.empty() ? "" : "; ";
                notes += item.resumeNote;
            }
            report.written(item.row, item.fileName, notes, item.warning);
        } else if (const auto partial = session.partialFileOf(item)) {
            report.failed(item.row, item.fileName,
                          why + "; the partial file " + *partial + " is left");
        } else {
            report.failed(item.row, item.fileName, why);
        }
    }
    return job.queuePos == job.queueLength;
}

}  // namespace

int runDownload(platform::SerialBackend& backend, platform::Clock& clock,
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
    CliStation station(backend, clock);
    if (const int status = openStation(station, true); status != kExitDone) {
        return status;
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
    const std::vector<std::string> names =
        tableFileNames(station.recordTable.data(), station.rowCount());

    LineReport report(request.json);
    interrupted = false;
    // A terminal closed or a termination request stops the job as Ctrl+C does: after the pair
    // in hand, with the partial file named.
    platform::catchStopRequests(onStopRequest);
    // A queue holds 160 records; more lines are read as several jobs, one after the other. The
    // table fixes every file's name, so no job's files can take another's.
    bool goingOn = true;
    for (std::size_t first = 0; first < lines->size(); first += kQueueCapacity) {
        const std::size_t last = std::min(lines->size(), first + kQueueCapacity);
        const std::vector<int> part(lines->begin() + static_cast<std::ptrdiff_t>(first),
                                    lines->begin() + static_cast<std::ptrdiff_t>(last));
        if (!goingOn) {
            for (const int line : part) {
                report.failed(line, names[static_cast<std::size_t>(line)],
                              "not read: the job ended before it");
            }
            continue;
        }
        goingOn = runJob(station, request, part, report);
    }
    platform::releaseStopRequests();
    return report.anyFailed() ? kExitFailed : kExitDone;
}

}  // namespace kelvra::cli
