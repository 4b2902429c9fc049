#include "tests/support/ScenarioFile.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace kelvra::test {

namespace {

using nlohmann::json;

const char* role(bool roleA) {
    return roleA ? "A" : "B";
}

json entryJson(const blocksim::EntrySetup& entry) {
    return {
        {"address", entry.address},
        {"records", entry.recordCount},
        {"lead", entry.lead},
        {"entryInfo", entry.entryInfo},
        {"timeBcd", entry.time},
        {"role", role(entry.roleA)},
        {"setting1", entry.setting1},
        {"setting2", entry.setting2},
        {"sampleRate", entry.sampleRate},
        {"duration", entry.duration},
    };
}

}  // namespace

std::string scenarioJson(const blocksim::Scenario& scenario) {
    json blocks = json::array();
    for (const blocksim::ScenarioBlock& block : scenario.blocks) {
        json entries = json::array();
        for (const blocksim::EntrySetup& entry : block.setup.entries) {
            entries.push_back(entryJson(entry));
        }
        blocks.push_back({
            {"com", block.com},
            {"serialYear", block.setup.serialYear},
            {"serialNumber", block.setup.serialNumber},
            {"firmware", block.setup.firmware},
            {"role", role(block.setup.roleA)},
            {"service", block.setup.service},
            {"entries", entries},
        });
    }
    return json{{"blocks", blocks}}.dump(2);
}

void writeScenarioFile(const std::string& path, const blocksim::Scenario& scenario) {
    std::ofstream out(path);
    out << scenarioJson(scenario) << '\n';
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace kelvra::test
