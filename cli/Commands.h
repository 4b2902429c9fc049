#pragma once

#include <string>
#include <vector>

#include "platform/clock/Clock.h"
#include "platform/serial/SerialPort.h"

namespace kelvra::cli {

// Each command returns the program's exit status (ExitStatus.h).

int runPorts(platform::SerialBackend& backend);
int runList(platform::SerialBackend& backend, platform::Clock& clock, bool json);
int runClock(platform::SerialBackend& backend, platform::Clock& clock);
int runClear(platform::SerialBackend& backend, platform::Clock& clock, bool confirmed);
int runDelete(platform::SerialBackend& backend, platform::Clock& clock, int line, bool confirmed);

struct DownloadRequest {
    std::string folder;
    bool all = false;
    std::vector<int> lines;  // as listed, from 1
    std::string since;       // YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]
    bool skipExisting = false;
    bool json = false;
};

int runDownload(platform::SerialBackend& backend, platform::Clock& clock,
                const DownloadRequest& request);

}  // namespace kelvra::cli
