#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/DialogDriver.h"
#include "tests/support/PrivateRuntimeDir.h"
#include "tests/support/SimulatorProcess.h"
#include "tools/blocksim/Scenario.h"
#include "ui/MainDlg.h"

namespace kelvra::test {

// The tool as it runs on Linux, without its toolkit: the main window on the headless dialog
// backend with the POSIX serial backend and the computer's clock, against the blocks of a
// scenario that kelvra-blocksim serves on pseudo-terminals in a private port directory.
// Nothing ticks by itself: the caller fires the window's timers. Free of any test framework,
// so that the benchmarks use it too; failures are reported by return values.
class PtyStation {
public:
    struct Options {
        std::string blocksimBinary;
        blocksim::Scenario scenario;
        bool pace = false;                                // hold the blocks to the line rate
        std::optional<std::uint32_t> adapterLatencyMs{};  // behind a USB serial adapter
    };

    // Starts the simulator and opens the main window; throws std::runtime_error when the
    // simulator does not come up.
    explicit PtyStation(const Options& options);
    ~PtyStation();
    PtyStation(const PtyStation&) = delete;
    PtyStation& operator=(const PtyStation&) = delete;

    platform::headless::DialogDriver& driver() { return *driver_; }
    CMainDlg& window() { return *window_; }
    SimulatorProcess& simulator() { return *simulator_; }

    // Fires timer 1 until `done` holds, at most `maxTicks` times; whether it came to hold.
    bool tickUntil(const std::function<bool()>& done, int maxTicks = 5);
    bool tickUntilBothPlaced(int maxTicks = 5);
    // After a failed job, ticks spaced in real time through one renewal of the scanned ports,
    // as the window's one-second timer would: a block still finishing the batch the job gave
    // up on answers a greeting with sector bytes, and its port is tried again only on the
    // renewal.
    bool tickUntilBothPlacedAgain();

    std::vector<std::string> listLines();

    // Selects the record list's `lines`, presses the download button and picks `folder`.
    // True when a worker started.
    bool startDownload(const std::vector<int>& lines, const std::string& folder);
    // Serves the window's thread until the worker ends; false if `limit` passed first.
    bool runWorker(std::chrono::milliseconds limit);

private:
    std::string previousDirectory_;
    PrivateRuntimeDir runtime_;
    std::unique_ptr<SimulatorProcess> simulator_;
    std::unique_ptr<platform::headless::DialogDriver> driver_;
    std::unique_ptr<CMainDlg> window_;
};

}  // namespace kelvra::test
