#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelvra::bench {

// How the blocks serve a record: the firmware that selects each mode.
enum class StreamMode { Batches, SingleSectors, Basic };

const char* modeName(StreamMode mode);

struct RunSetup {
    std::string blocksimBinary;
    StreamMode mode = StreamMode::Batches;
    int records = 1;
    int seconds = 20;  // record length where the firmware keeps it (batches, basic stream)
    std::optional<std::uint32_t> adapterLatencyMs{};  // blocks behind a USB serial adapter
    // The blocks simulated in this process on a virtual clock instead of kelvra-blocksim on
    // pseudo-terminals; wall time is then virtual time.
    bool inProcess = false;
    // In process: the ports refuse Kelvra's low-latency request, as Windows' standard driver
    // has none, so a modelled adapter keeps its timer.
    bool refuseLowLatency = false;
};

// What one download job cost, measured inside the process that ran it.
struct RunResult {
    bool ok = false;
    std::string failure;  // why not ok
    std::uint32_t bytesPerChannel = 0;
    double wallSeconds = 0;  // from the button press until the worker ended
    double lineSeconds = 0;  // bytesPerChannel at 46080 bytes/s
    double cpuSeconds = 0;   // user + system time of this process during the job
    double simulatorCpuSeconds = 0;
    long baselineRssKb = 0;  // peak resident memory before the job
    long peakRssKb = 0;      // peak resident memory by the end of the job
    // What comparing a record's content on the blocks with its file costs, per record, before a
    // guarded clear or a skip trusts the file: a sample by address, or the whole basic stream.
    double contentCheckSeconds = 0;
};

// Serves two paced simulated blocks, downloads all their records through the main window and
// checks every file byte for byte (after the measurement); then times the content check of
// every record against its file.
RunResult runDownloadJob(const RunSetup& run);

}  // namespace kelvra::bench
