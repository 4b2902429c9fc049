#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "cli/CliDownloadHost.h"
#include "cli/CliStation.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/RecordText.h"
#include "download/WavFormat.h"
#include "link/Messages.h"
#include "platform/console/Console.h"
#include "platform/file/FilePath.h"
#include "platform/json/JsonWriter.h"

namespace kelvra::cli {

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted = true;
}

std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// What became of each requested line, reported once the job has ended.
class LineReport {
public:
    explicit LineReport(bool json) : json_(json) {}

    void written(int line, const std::string& file) { report(line, file, "written", ""); }
    void skipped(int line, const std::string& file) {
        report(line, file, "skipped", "complete already");
    }
    void failed(int line, const std::string& file, const std::string& why) {
        failures_ = true;
        report(line, file, "failed", why);
    }
    bool anyFailed() const { return failures_; }

private:
    void report(int line, const std::string& file, const char* status, const std::string& why) {
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
            std::printf("%s\n", object.text().c_str());
        } else if (why.empty()) {
            std::printf("Line %d: %s %s\n", line + 1, status, file.c_str());
        } else {
            std::printf("Line %d: %s %s (%s)\n", line + 1, status, file.c_str(), why.c_str());
        }
        if (std::string(status) == "failed") {
            std::fprintf(stderr, "Line %d: %s\n", line + 1, why.c_str());
        }
        std::fflush(stdout);
    }

    bool json_;
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
    } else if (!request.since.empty()) {
        const auto since = parseMoment(request.since);
        if (!since) {
            std::fprintf(stderr, "--since %s: not a date (YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS)\n",
                         request.since.c_str());
            status = kExitUsage;
            return std::nullopt;
        }
        for (int i = 0; i < rows; ++i) {
            if (recordMoment(station.recordTable[static_cast<std::size_t>(i)]) >= *since) {
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
    if (static_cast<int>(lines.size()) > kQueueCapacity) {
        std::fprintf(stderr, "%s\n", messages::kTooManyRecordsSelected);
        status = kExitUsage;
        return std::nullopt;
    }
    return lines;
}

bool completeAlready(const std::string& folder, const DownloadItem& item) {
    std::error_code error;
    const auto path = utf8Path(platform::pathInFolder(folder, item.fileName));
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, error))) {
        return false;
    }
    const auto size = std::filesystem::file_size(path, error);
    return !error && size == kWavHeaderSize + 2 * item.channelBytes();
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

}  // namespace

int runDownload(platform::SerialBackend& backend, platform::Clock& clock,
                const DownloadRequest& request) {
    std::error_code error;
    if (!std::filesystem::is_directory(utf8Path(request.folder), error)) {
        std::fprintf(stderr, "%s: no such folder\n", request.folder.c_str());
        return kExitUsage;
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

    ProgressReport progress(platform::standardErrorIsTerminal());
    CliDownloadHost host(progress, interrupted);
    DownloadSession session(station.slotA, station.slotB, station.recordTable.data(), host);
    host.watch(session);
    station.watch(session);
    LineReport report(request.json);

    if (lines->empty()) {
        std::fprintf(stderr, "No line to read\n");
        return kExitDone;
    }
    const QueuedLines queued = session.queueLines(lines->data(), static_cast<int>(lines->size()));
    for (const int line : queued.tooLong) {
        report.failed(line, "", messages::kRecordTooLong);
    }
    if (request.skipExisting) {
        session.skipQueued([&](const DownloadItem& item) {
            if (!completeAlready(request.folder, item)) {
                return false;
            }
            report.skipped(item.row, item.fileName);
            return true;
        });
    }
    const DownloadJob& job = session.job();
    if (job.queueLength == 0) {
        return report.anyFailed() ? kExitFailed : kExitDone;
    }

    interrupted = false;
    const auto previousHandler = std::signal(SIGINT, onInterrupt);
    session.start(request.folder);
    std::string ended;
    std::optional<std::string> partial;
    for (;;) {
        host.join();
        if (!host.fatal().empty() || !station.fatalError().empty()) {
            ended = !host.fatal().empty() ? host.fatal() : station.fatalError();
            partial = session.abandon();
            break;
        }
        if (interrupted) {
            ended = "interrupted";
            partial = session.abandon();
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
    std::signal(SIGINT, previousHandler);
    if (job.queueLength > 0 && job.queuePos == job.queueLength) {
        // The worker draws no progress after the job's last pair: the report ends at 100% here.
        const DownloadItem& last = job.downloadQueue[static_cast<std::size_t>(job.queueLength - 1)];
        progress.update(last.fileName, job.jobBytesTotal, 0);
    }
    progress.finish();

    for (int i = 0; i < job.queueLength; ++i) {
        const DownloadItem& item = job.downloadQueue[static_cast<std::size_t>(i)];
        if (i < job.queuePos) {
            report.written(item.row, item.fileName);
        } else if (i == job.queuePos) {
            report.failed(item.row, item.fileName,
                          partial ? ended + "; the partial file " + *partial + " is left" : ended);
        } else {
            report.failed(item.row, item.fileName, "not read: the job ended before it");
        }
    }
    return report.anyFailed() ? kExitFailed : kExitDone;
}

}  // namespace kelvra::cli
