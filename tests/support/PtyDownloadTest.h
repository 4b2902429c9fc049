#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/PairScenario.h"
#include "tests/support/PtyStation.h"
#include "tests/support/WavExpectation.h"

namespace kelvra::test {

// One file a job must leave behind: its name, and its channels as the blocks hold them.
struct ExpectedFile {
    std::string name;
    ChannelSource left;
    ChannelSource right;
    std::uint8_t recordIndex = 0;
};

// End-to-end download tests: the station against a pair of simulated blocks on
// pseudo-terminals, with a fresh folder for the files.
class PtyDownloadTest : public ::testing::Test {
protected:
    explicit PtyDownloadTest(std::string blocksimBinary)
        : blocksimBinary_(std::move(blocksimBinary)) {}

    // Serves the blocks and lets discovery place a block in each slot.
    void serve(blocksim::Scenario blocks);
    // Serves the pair with these firmware versions and entries.
    void start(int firmwareA, std::vector<blocksim::EntrySetup> entriesA, int firmwareB,
               std::vector<blocksim::EntrySetup> entriesB);

    // The pair's blocks as served (pairScenario puts block A first).
    const blocksim::BlockSetup* setupA() const { return &scenario.blocks[0].setup; }
    const blocksim::BlockSetup* setupB() const { return &scenario.blocks[1].setup; }

    // Selects all `lines` lines of the record list, starts the job into the folder and serves
    // the window until the worker ends (the job done, or handed to recovery).
    void downloadAllLines(std::size_t lines, std::chrono::milliseconds limit);

    // The folder holds exactly these files, each byte for byte what an uninterrupted download
    // writes and read by sox as 16-bit stereo of the record's rate and length.
    void expectFiles(const std::vector<ExpectedFile>& files);

    // The window is idle again: no message, no recovery, the bar hidden, the buttons enabled,
    // timer 1 running, and both blocks still answer its ping.
    void expectIdleWithBothBlocks();

    TempFolder folder;
    blocksim::Scenario scenario;
    std::unique_ptr<PtyStation> station;

private:
    std::string blocksimBinary_;
};

}  // namespace kelvra::test
