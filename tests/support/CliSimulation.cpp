#include "tests/support/CliSimulation.h"

#include <stdexcept>
#include <utility>

#include "tests/support/ScenarioFile.h"

namespace kelvra::test {

CliSimulation::CliSimulation(std::string cliBinary, const std::string& blocksimBinary,
                             const blocksim::Scenario& scenario, bool pace)
    : cliBinary_(std::move(cliBinary)) {
    std::vector<int> ports;
    for (const blocksim::ScenarioBlock& block : scenario.blocks) {
        ports.push_back(block.com);
    }
    runtime_.blockOtherPorts(ports);
    const std::string scenarioPath = runtime_.path() + "/scenario.json";
    writeScenarioFile(scenarioPath, scenario);
    SimulatorProcess::Options options;
    options.binary = blocksimBinary;
    options.scenarioPath = scenarioPath;
    options.portDirectory = runtime_.portDirectory();
    options.pace = pace;
    simulator_ = std::make_unique<SimulatorProcess>(options);
    if (!simulator_->waitReady()) {
        throw std::runtime_error("kelvra-blocksim did not publish its blocks");
    }
}

CliResult CliSimulation::run(CliRun run) const {
    return runCli(cliBinary_, run);
}

}  // namespace kelvra::test
