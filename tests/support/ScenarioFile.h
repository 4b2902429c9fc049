#pragma once

#include <string>

#include "tools/blocksim/Scenario.h"

namespace kelvra::test {

// The scenario as kelvra-blocksim reads it: identity, firmware, role and directory entries of
// every block (sessions and faults are not written).
std::string scenarioJson(const blocksim::Scenario& scenario);

// Writes scenarioJson() to `path`; throws std::runtime_error when it cannot.
void writeScenarioFile(const std::string& path, const blocksim::Scenario& scenario);

}  // namespace kelvra::test
