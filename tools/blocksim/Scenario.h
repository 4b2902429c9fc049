#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "tools/blocksim/BlockSetup.h"

namespace kelvra::blocksim {

// One simulated block and the port it sits on.
struct ScenarioBlock {
    int com = 1;  // COM1 to COM29
    BlockSetup setup;
};

struct Scenario {
    std::vector<ScenarioBlock> blocks;
};

// A scenario that cannot be used; the message names the offending field, e.g.
// "blocks[1].entries[0].sampleRate: expected an integer 0..65535".
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

Scenario parseScenario(std::string_view json);
Scenario loadScenario(const std::string& path);

}  // namespace kelvra::blocksim
