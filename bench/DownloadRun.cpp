#include "bench/DownloadRun.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "download/ContentSample.h"
#include "download/DownloadManifest.h"
#include "platform/dialog/WorkerThread.h"
#include "platform/file/FilePath.h"
#include "platform/headless/DialogDriver.h"
#include "resources/KelvraResources.h"
#include "tests/support/ExpectedWav.h"
#include "tests/support/PairScenario.h"
#include "tests/support/PtyStation.h"
#include "tools/blocksim/SimulatedSerialBackend.h"
#include "tools/blocksim/VirtualClock.h"
#include "ui/MainDlg.h"

namespace kelvra::bench {

namespace {

constexpr double kLineBytesPerSecond = 46080.0;  // 460800 baud, 8N1

int firmwareOf(StreamMode mode) {
    switch (mode) {
        case StreamMode::Batches:
            return 60;
        case StreamMode::SingleSectors:
            return 31;
        case StreamMode::Basic:
            return 70;
    }
    return 0;
}

double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double cpuSeconds(const rusage& usage) {
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One entry per record, a minute apart, held by both blocks.
blocksim::Scenario scenarioFor(const RunSetup& run) {
    std::vector<blocksim::EntrySetup> entriesA;
    std::vector<blocksim::EntrySetup> entriesB;
    for (int i = 0; i < run.records; ++i) {
        const auto address = static_cast<std::uint8_t>(10 + i);
        const auto length = static_cast<std::uint16_t>(run.seconds);
        entriesA.push_back(test::pairEntry(address, 1, true, 10 + i, 21362, length));
        entriesB.push_back(test::pairEntry(static_cast<std::uint8_t>(address + 100), 1, false,
                                           10 + i, 21362, length));
    }
    const int firmware = firmwareOf(run.mode);
    return test::pairScenario(firmware, std::move(entriesA), firmware, std::move(entriesB));
}

// Every file as an uninterrupted download writes it.
std::string verifyFiles(const blocksim::Scenario& scenario, const test::TempFolder& folder) {
    const blocksim::BlockSetup& a = scenario.blocks[0].setup;
    const blocksim::BlockSetup& b = scenario.blocks[1].setup;
    if (folder.fileNames().size() != a.entries.size()) {
        return std::to_string(folder.fileNames().size()) + " files written";
    }
    for (std::size_t i = 0; i < a.entries.size(); ++i) {
        char name[96];
        std::snprintf(name, sizeof name, "5 Марта 18г 14-%02zu-09 Запись 1.wav", 10 + i);
        const std::string difference = test::fileDifference(
            test::readFileBytes(folder.path() / name),
            test::expectedWavFile({&a, a.entries[i].address}, {&b, b.entries[i].address}, 0));
        if (!difference.empty()) {
            return std::string(name) + ": " + difference;
        }
    }
    const DownloadManifest manifest = DownloadManifest::load(folder.path().string());
    if (manifest.entries().size() != a.entries.size()) {
        return "the manifest lists " + std::to_string(manifest.entries().size()) + " files";
    }
    for (const auto& [name, entry] : manifest.entries()) {
        if (checkFile(folder.path().string(), entry) != FileCheck::Ok) {
            return name + ": its bytes are not those the manifest noted";
        }
    }
    return {};
}

// Compares every record of the finished job with its file, as a guarded clear does before it
// trusts the file; `elapsedSeconds` tells the time taken so far.
template <typename Elapsed>
std::string timeContentChecks(CMainDlg& window, const std::string& folder, Elapsed elapsedSeconds,
                              RunResult& result) {
    const DownloadJob& job = window.download().job();
    const double start = elapsedSeconds();
    for (int i = 0; i < job.queueLength; ++i) {
        const DownloadItem& item = job.downloadQueue[static_cast<std::size_t>(i)];
        const ContentCheck check = compareContent(
            window.slotA, window.slotB, item, platform::pathInFolder(folder, item.fileName), true);
        if (check.match != ContentMatch::Same) {
            return item.fileName + ": " + describeContentCheck(check);
        }
    }
    result.contentCheckSeconds =
        (elapsedSeconds() - start) / static_cast<double>(std::max(job.queueLength, 1));
    return {};
}

// The job as runDownloadJob() runs it, with the blocks in this process: only the virtual time
// that the simulated lines, adapters and time-outs took counts as wall time.
std::string runInProcess(const RunSetup& run, const blocksim::Scenario& scenario,
                         const std::string& folder, RunResult& result) {
    blocksim::VirtualClock clock;
    blocksim::SimulatedSerialBackend simulated(clock);
    simulated.setPaced(true);
    if (run.adapterLatencyMs) {
        simulated.setAdapterLatency(*run.adapterLatencyMs);
    }
    simulated.setLowLatencyRefused(run.refuseLowLatency);
    simulated.addScenario(scenario);
    platform::headless::DialogDriver driver;
    platform::UseResources(kelvraResources());
    CMainDlg window(simulated, clock);
    driver.open(window);
    const auto previousDirectory = std::filesystem::current_path();
    const auto finish = [&](std::string failure) {
        driver.finish(window);
        std::filesystem::current_path(previousDirectory);
        return failure;
    };
    for (int tick = 0; tick < 5 && !(window.slotA.present && window.slotB.present); ++tick) {
        clock.advance(1000);
        driver.fireTimer(window, kMonitorTimer);
    }
    if (!window.slotA.present || !window.slotB.present) {
        return finish("the blocks were not found");
    }
    for (int line = 0; line < run.records; ++line) {
        driver.clickLine(window, IDC_RECORD_LIST, line);
    }
    driver.onFolderPicker([folder](std::string_view) { return std::optional(folder); });
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    result.baselineRssKb = before.ru_maxrss;
    const std::uint64_t start = clock.nowUs();
    if (!driver.click(window, IDC_READ_SELECTED) || platform::AfxRunningWorkerCount() == 0) {
        return finish("the job did not start");
    }
    if (!driver.runUntilWorkersEnd(std::chrono::minutes(10))) {
        return finish("the job did not end in time");
    }
    result.wallSeconds = static_cast<double>(clock.nowUs() - start) / 1e6;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    result.cpuSeconds = cpuSeconds(after) - cpuSeconds(before);
    result.peakRssKb = after.ru_maxrss;
    if (window.download().job().recoveryPending || !driver.messageBoxes().empty()) {
        return finish("the transfer failed");
    }
    return finish(timeContentChecks(
        window, folder, [&] { return static_cast<double>(clock.nowUs()) / 1e6; }, result));
}

}  // namespace

const char* modeName(StreamMode mode) {
    switch (mode) {
        case StreamMode::Batches:
            return "batches";
        case StreamMode::SingleSectors:
            return "single sectors";
        case StreamMode::Basic:
            return "basic stream";
    }
    return "";
}

RunResult runDownloadJob(const RunSetup& run) {
    RunResult result;
    const blocksim::Scenario scenario = scenarioFor(run);
    for (const blocksim::EntrySetup& entry : scenario.blocks[0].setup.entries) {
        result.bytesPerChannel +=
            test::recordFormat(scenario.blocks[0].setup, entry.address).channelBytes;
    }
    result.lineSeconds = result.bytesPerChannel / kLineBytesPerSecond;
    test::TempFolder folder;
    if (run.inProcess) {
        try {
            result.failure = runInProcess(run, scenario, folder.path().string(), result);
        } catch (const std::exception& error) {
            result.failure = error.what();
        }
        if (result.failure.empty()) {
            result.failure = verifyFiles(scenario, folder);
        }
        result.ok = result.failure.empty();
        return result;
    }
    try {
        test::PtyStation station({run.blocksimBinary, scenario, true, run.adapterLatencyMs});
        if (!station.tickUntilBothPlaced()) {
            result.failure = "the blocks were not found";
            return result;
        }
        std::vector<int> lines;
        for (int i = 0; i < run.records; ++i) {
            lines.push_back(i);
        }
        if (station.listLines().size() != lines.size()) {
            result.failure = "the record list does not show one line per record";
            return result;
        }
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        result.baselineRssKb = before.ru_maxrss;
        const auto start = std::chrono::steady_clock::now();
        if (!station.startDownload(lines, folder.path().string())) {
            result.failure = "the job did not start";
            return result;
        }
        const auto limit = std::chrono::seconds(60 + 10 * static_cast<int>(result.lineSeconds));
        if (!station.runWorker(limit)) {
            result.failure = "the job did not end in time";
            return result;
        }
        result.wallSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        result.cpuSeconds = cpuSeconds(after) - cpuSeconds(before);
        result.peakRssKb = after.ru_maxrss;
        if (station.window().download().job().recoveryPending ||
            !station.driver().messageBoxes().empty()) {
            result.failure = "the transfer failed";
            return result;
        }
        const auto sinceStart = [start] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        result.failure =
            timeContentChecks(station.window(), folder.path().string(), sinceStart, result);
        if (!result.failure.empty()) {
            return result;
        }
    } catch (const std::exception& error) {
        result.failure = error.what();
        return result;
    }
    rusage simulator{};
    getrusage(RUSAGE_CHILDREN, &simulator);
    result.simulatorCpuSeconds = cpuSeconds(simulator);
    result.failure = verifyFiles(scenario, folder);
    result.ok = result.failure.empty();
    return result;
}

}  // namespace kelvra::bench
