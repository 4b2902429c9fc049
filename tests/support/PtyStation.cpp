#include "tests/support/PtyStation.h"

#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/clock/Clock.h"
#include "platform/dialog/WorkerThread.h"
#include "platform/serial/SerialPort.h"
#include "resources/KelvraResources.h"
#include "tests/support/ScenarioFile.h"

namespace kelvra::test {

PtyStation::PtyStation(const Options& options)
    : previousDirectory_(std::filesystem::current_path().string()) {
    std::vector<int> ports;
    for (const blocksim::ScenarioBlock& block : options.scenario.blocks) {
        ports.push_back(block.com);
    }
    runtime_.blockOtherPorts(ports);
    const std::string scenarioPath = runtime_.path() + "/scenario.json";
    writeScenarioFile(scenarioPath, options.scenario);
    SimulatorProcess::Options simulatorOptions;
    simulatorOptions.binary = options.blocksimBinary;
    simulatorOptions.scenarioPath = scenarioPath;
    simulatorOptions.portDirectory = runtime_.portDirectory();
    simulatorOptions.pace = options.pace;
    if (options.adapterLatencyMs) {
        simulatorOptions.extraArguments = {"--adapter-latency",
                                           std::to_string(*options.adapterLatencyMs)};
    }
    simulator_ = std::make_unique<SimulatorProcess>(simulatorOptions);
    if (!simulator_->waitReady()) {
        throw std::runtime_error("kelvra-blocksim did not publish its blocks");
    }
    driver_ = std::make_unique<platform::headless::DialogDriver>();
    platform::UseResources(kelvraResources());
    window_ = std::make_unique<CMainDlg>(platform::systemSerialBackend(), platform::systemClock());
    driver_->open(*window_);
}

PtyStation::~PtyStation() {
    if (driver_->isOpen(*window_)) {
        driver_->finish(*window_);
    }
    window_.reset();
    driver_.reset();
    simulator_.reset();
    // The job made the chosen folder the current directory; the caller removes that folder.
    std::error_code ignored;
    std::filesystem::current_path(previousDirectory_, ignored);
}

bool PtyStation::tickUntil(const std::function<bool()>& done, int maxTicks) {
    for (int tick = 0; tick < maxTicks && !done(); ++tick) {
        if (!driver_->fireTimer(*window_, kMonitorTimer)) {
            return false;
        }
    }
    return done();
}

bool PtyStation::tickUntilBothPlaced(int maxTicks) {
    return tickUntil([this] { return window_->slotA.present && window_->slotB.present; }, maxTicks);
}

bool PtyStation::tickUntilBothPlacedAgain() {
    constexpr int kTicksThroughARenewal = 12;
    for (int tick = 0; tick < kTicksThroughARenewal; ++tick) {
        if (window_->slotA.present && window_->slotB.present) {
            return true;
        }
        if (tick > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!driver_->fireTimer(*window_, kMonitorTimer)) {
            return false;
        }
    }
    return window_->slotA.present && window_->slotB.present;
}

std::vector<std::string> PtyStation::listLines() {
    platform::CListBox list = window_->GetListBox(IDC_RECORD_LIST);
    std::vector<std::string> lines;
    for (int i = 0; i < list.GetCount(); ++i) {
        lines.push_back(list.GetText(i));
    }
    return lines;
}

bool PtyStation::startDownload(const std::vector<int>& lines, const std::string& folder) {
    for (int line : lines) {
        if (!driver_->clickLine(*window_, IDC_RECORD_LIST, line)) {
            return false;
        }
    }
    driver_->onFolderPicker([folder](std::string_view) { return std::optional(folder); });
    return driver_->click(*window_, IDC_READ_SELECTED) && platform::AfxRunningWorkerCount() > 0;
}

bool PtyStation::runWorker(std::chrono::milliseconds limit) {
    return driver_->runUntilWorkersEnd(limit);
}

}  // namespace kelvra::test
