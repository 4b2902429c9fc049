#pragma once

#include <cstdint>
#include <vector>

#include "tools/blocksim/Scenario.h"

namespace kelvra::test {

// The pair of blocks the end-to-end tests and benchmarks serve: block A (serial 2018-042, role
// A) on COM3 and block B (2018-043, role B) on COM4.
inline constexpr int kPairComA = 3;
inline constexpr int kPairComB = 4;

// An entry made on 5 March 2018 at 14:`minute`:09 under role A or B, with settings bytes that
// tell the two roles apart.
blocksim::EntrySetup pairEntry(std::uint8_t address, std::uint8_t records, bool roleA, int minute,
                               std::uint16_t sampleRate, std::uint16_t seconds);

blocksim::Scenario pairScenario(int firmwareA, std::vector<blocksim::EntrySetup> entriesA,
                                int firmwareB, std::vector<blocksim::EntrySetup> entriesB);

}  // namespace kelvra::test
