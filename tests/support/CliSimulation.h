#pragma once

#include <memory>
#include <string>

#include "tests/support/CliProcess.h"
#include "tests/support/PrivateRuntimeDir.h"
#include "tests/support/SimulatorProcess.h"
#include "tools/blocksim/Scenario.h"

namespace kelvra::test {

// kelvra-cli against the blocks of a scenario that kelvra-blocksim serves on pseudo-terminals
// in a private port directory; the other COM numbers there lead nowhere, so that no run
// touches this machine's own serial devices.
class CliSimulation {
public:
    CliSimulation(std::string cliBinary, const std::string& blocksimBinary,
                  const blocksim::Scenario& scenario, bool pace = false);

    SimulatorProcess& simulator() { return *simulator_; }
    const PrivateRuntimeDir& runtime() const { return runtime_; }
    CliResult run(CliRun run) const;

private:
    std::string cliBinary_;
    PrivateRuntimeDir runtime_;
    std::unique_ptr<SimulatorProcess> simulator_;
};

}  // namespace kelvra::test
