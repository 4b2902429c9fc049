#pragma once

#include <string>
#include <vector>

#include "cli/Pace.h"
#include "platform/clock/Clock.h"
#include "platform/serial/SerialPort.h"

namespace kelvra::cli {

// Each command returns the program's exit status (ExitStatus.h).

int runPorts(platform::SerialBackend& backend, bool json);
int runList(platform::SerialBackend& backend, platform::Clock& clock, bool json);
int runClock(platform::SerialBackend& backend, platform::Clock& clock);
// With `downloadedTo`, clears only when that folder's manifest holds every record of the blocks
// intact; otherwise sends nothing.
int runClear(platform::SerialBackend& backend, platform::Clock& clock, bool confirmed,
             const std::string& downloadedTo);
int runDelete(platform::SerialBackend& backend, platform::Clock& clock, int line, bool confirmed);

struct DownloadRequest {
    std::string folder;
    bool all = false;
    std::vector<int> lines;   // as listed, from 1
    std::string since;        // YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]
    bool sinceGiven = false;  // even when empty
    bool skipExisting = false;
    bool verify = false;  // each record read again until two reads agree
    bool json = false;
    // No block yet, or blocks gone for longer than a recovery waits: waits for them.
    bool wait = false;
};

int runDownload(platform::SerialBackend& backend, platform::Clock& clock, Pace& pace,
                const DownloadRequest& request);

struct OffloadRequest {
    std::string folder;  // each pair's files go into <folder>/<serial A>_<serial B>
    bool clear = false;  // clears a pair once the guard proves every record in its folder
    bool once = false;   // ends after the first pair
    bool json = false;
};

// An unattended station: serves each pair of blocks plugged in, one after the other, until a
// stop request (then after the pair in hand) or, with `once`, after the first pair.
int runOffload(platform::SerialBackend& backend, platform::Clock& clock, Pace& pace,
               const OffloadRequest& request);

// Hashes every file the folder's manifest lists: ok, changed or missing each, and the WAV files
// it does not know. kExitDone only when every listed file is ok.
int runVerify(const std::string& folder, bool json);

// For each WAV file: its format, each channel's block and levels from its samples, and the
// record when the folder's manifest knows the file; with `png`, a picture of the one file
// given. kExitDone only when every file was read (and drawn).
int runLook(const std::vector<std::string>& files, const std::string& png);

}  // namespace kelvra::cli
