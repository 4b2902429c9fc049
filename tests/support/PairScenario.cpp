#include "tests/support/PairScenario.h"

namespace kelvra::test {

namespace {

blocksim::ScenarioBlock pairBlock(bool roleA, int firmware,
                                  std::vector<blocksim::EntrySetup> entries) {
    blocksim::ScenarioBlock block;
    block.com = roleA ? kPairComA : kPairComB;
    block.setup.serialYear = 18;
    block.setup.serialNumber = roleA ? 42 : 43;
    block.setup.firmware = static_cast<std::uint8_t>(firmware);
    block.setup.roleA = roleA;
    block.setup.entries = std::move(entries);
    return block;
}

}  // namespace

blocksim::EntrySetup pairEntry(std::uint8_t address, std::uint8_t records, bool roleA, int minute,
                               std::uint16_t sampleRate, std::uint16_t seconds) {
    blocksim::EntrySetup entry;
    entry.address = address;
    entry.recordCount = records;
    entry.roleA = roleA;
    entry.entryInfo = {1, 0, 3, 0};
    entry.time = blocksim::bcdDateTime(2018, 3, 5, 14, minute, 9);
    const auto base = static_cast<std::uint8_t>(roleA ? 0x10 : 0x30);
    for (std::uint8_t k = 0; k < 4; ++k) {
        entry.setting1[k] = static_cast<std::uint8_t>(base + k + 1);
        entry.setting2[k] = static_cast<std::uint8_t>(base + k + 0x11);
    }
    entry.sampleRate = sampleRate;
    entry.duration = seconds;
    return entry;
}

blocksim::Scenario pairScenario(int firmwareA, std::vector<blocksim::EntrySetup> entriesA,
                                int firmwareB, std::vector<blocksim::EntrySetup> entriesB) {
    blocksim::Scenario scenario;
    scenario.blocks = {pairBlock(true, firmwareA, std::move(entriesA)),
                       pairBlock(false, firmwareB, std::move(entriesB))};
    return scenario;
}

}  // namespace kelvra::test
