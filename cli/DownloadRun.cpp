#include "cli/DownloadRun.h"

#include <algorithm>
#include <cstdio>

#include "cli/CliDownloadHost.h"
#include "cli/RecordText.h"
#include "download/ContentSample.h"
#include "download/DownloadQueue.h"
#include "download/Recovery.h"
#include "link/Messages.h"
#include "platform/console/Console.h"
#include "platform/file/FilePath.h"

namespace kelvra::cli {

namespace {

// "blocks 2018-042 and 2018-043", or the one block, that the job lost.
std::string lostBlocks(const SavedIdentity& saved) {
    std::vector<std::string> serials;
    if (saved.presentA) {
        serials.push_back(serialText(saved.serialYearA, saved.serialNumberA));
    }
    if (saved.presentB) {
        serials.push_back(serialText(saved.serialYearB, saved.serialNumberB));
    }
    if (serials.empty()) {
        return "the blocks";
    }
    std::string text = serials.size() == 2 ? "blocks " : "block ";
    text += serials[0];
    if (serials.size() == 2) {
        text += " and ";
        text += serials[1];
    }
    return text;
}

// Monitor ticks each second and recovery ticks each ten, as the window's timers run, until the
// session no longer waits or a stop ends the transfer. Once the tries of a recovery with a
// limit would be over, says that the job waits on.
void awaitRecovery(CliStation& station, DownloadSession& session, Pace& pace,
                   const DownloadSettings& settings, ProgressReport& progress) {
    int seconds = 0;
    while (session.state() == DownloadState::WaitingForRecovery &&
           pace.stops() < settings.stopsToEnd && station.fatalError().empty()) {
        pace.second();
        if (pace.stops() >= settings.stopsToEnd) {
            return;
        }
        station.tick();
        if (++seconds % 10 == 0 && station.fatalError().empty()) {
            session.recoveryTick();
            if (settings.waitForBlocks && seconds == 10 * kRecoveryTries &&
                session.state() == DownloadState::WaitingForRecovery) {
                std::string waiting = "Waiting for ";
                waiting += lostBlocks(session.job().savedIdentity);
                waiting += " to come back… (Ctrl+C stops, and keeps the partial file)";
                progress.note(waiting);
            }
        }
    }
}

// One job of at most a queue's worth of lines, from start to end, with every line reported.
// False when the job ended early: the lines after it are not read.
bool runJob(CliStation& station, Pace& pace, const DownloadSettings& settings,
            const std::vector<int>& lines, LineReport& report) {
    ProgressReport progress(platform::standardErrorTerminal());
    const auto transferEnds = [&pace, &settings] { return pace.stops() >= settings.stopsToEnd; };
    CliDownloadHost host(progress, transferEnds, station.slotA, station.slotB);
    DownloadSession session(station.slotA, station.slotB, station.recordTable.data(), host);
    host.watch(session);
    const CliStation::Watching watching = station.watch(session);
    if (settings.waitForBlocks) {
        session.waitForBlocksWithoutLimit();
    }

    const QueuedLines queued =
        session.queueLines(lines.data(), static_cast<int>(lines.size()), station.rowCount());
    for (const int line : queued.tooLong) {
        report.failed(line, "", messages::kRecordTooLong);
    }
    for (const DownloadItem& item : session.refuseFilesTooLargeFor(settings.folder)) {
        report.failed(item.row, item.fileName, item.failure);
    }
    session.checkReads(settings.verify);
    // The manifest and the hash tell what a file holds, not that it is what the blocks hold
    // now: a block cleared and recording again can list the same directory. A block that
    // streams only whole records is taken at its directory's word.
    const auto holdsRecord = [&](const DownloadItem& item, const std::string& file) {
        const ContentCheck check =
            compareContent(station.slotA, station.slotB, item,
                           platform::pathInFolder(settings.folder, file), false);
        if (!contentAgrees(check)) {
            std::fprintf(stderr,
                         "Line %d: %s does not hold what the blocks hold now (%s): the record is "
                         "read again\n",
                         item.row + 1, file.c_str(), describeContentCheck(check).c_str());
        }
        return check;
    };
    for (const DownloadItem& item :
         session.placeFiles(settings.folder, settings.skipExisting, holdsRecord)) {
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
        if (transferEnds()) {
            ended = "interrupted";
            session.abandon();
            break;
        }
        if (session.state() == DownloadState::WaitingForRecovery) {
            awaitRecovery(station, session, pace, settings, progress);
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
            report.written(item.row, item.fileName, notes, item.warning, item.channels);
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

void downloadLines(CliStation& station, Pace& pace, const DownloadSettings& settings,
                   const std::vector<int>& lines, LineReport& report) {
    const std::vector<std::string> names =
        tableFileNames(station.recordTable.data(), station.rowCount());
    // A queue holds 160 records; more lines are read as several jobs, one after the other. The
    // table fixes every file's name, so no job's files can take another's.
    bool goingOn = true;
    for (std::size_t first = 0; first < lines.size(); first += kQueueCapacity) {
        const std::size_t last = std::min(lines.size(), first + kQueueCapacity);
        const std::vector<int> part(lines.begin() + static_cast<std::ptrdiff_t>(first),
                                    lines.begin() + static_cast<std::ptrdiff_t>(last));
        if (!goingOn) {
            for (const int line : part) {
                report.failed(line, names[static_cast<std::size_t>(line)],
                              "not read: the job ended before it");
            }
            continue;
        }
        goingOn = runJob(station, pace, settings, part, report);
    }
}

}  // namespace kelvra::cli
