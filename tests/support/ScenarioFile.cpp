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
        {"sampleSeed", entry.sampleSeed},
        {"samples", std::string(blocksim::sampleShapeName(entry.samples))},
    };
}

// Only the line faults travel: the other faults are armed by tests over standard input.
json lineFaultsJson(const std::vector<blocksim::LineFault>& faults) {
    json line = json::array();
    for (const blocksim::LineFault& fault : faults) {
        json one = {{"kind", std::string(blocksim::lineFaultKindName(fault.kind))},
                    {"after", fault.afterSectors}};
        if (fault.kind == blocksim::LineFault::Kind::Garbage) {
            one["count"] = fault.count;
        } else {
            one["offset"] = fault.offset;
        }
        if (fault.kind == blocksim::LineFault::Kind::Insert ||
            fault.kind == blocksim::LineFault::Kind::Garbage) {
            one["byte"] = fault.byte;
        }
        if (fault.kind == blocksim::LineFault::Kind::Flip) {
            one["bit"] = fault.bit;
        }
        line.push_back(one);
    }
    return line;
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
            {"faults", {{"line", lineFaultsJson(block.setup.faults.line)}}},
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
