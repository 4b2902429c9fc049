#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/CliProcess.h"
#include "tests/support/ExpectedWav.h"
#include "tests/support/PairScenario.h"
#include "tests/support/PrivateRuntimeDir.h"
#include "tests/support/ScenarioFile.h"
#include "tests/support/SimulatorProcess.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WavExpectation.h"

namespace kelvra::test {
namespace {

using Json = nlohmann::json;

const char* const kFirst = "5 Марта 18г 14-07-09 Запись 1.wav";
const char* const kSecond = "5 Марта 18г 14-07-09 Запись 2.wav";

// The blocks of `scenario` plugged in: served into the runtime's port directory.
std::unique_ptr<SimulatorProcess> plugIn(const PrivateRuntimeDir& runtime,
                                         const blocksim::Scenario& scenario,
                                         const std::string& name) {
    SimulatorProcess::Options options;
    options.binary = KELVRA_BLOCKSIM_PATH;
    options.scenarioPath = runtime.path() + "/" + name + ".json";
    options.portDirectory = runtime.portDirectory();
    writeScenarioFile(options.scenarioPath, scenario);
    auto simulator = std::make_unique<SimulatorProcess>(options);
    EXPECT_TRUE(simulator->waitReady());
    // The lines that publish the ports, so that only status lines are left to wait for.
    for (const char* com : {"COM3 ", "COM4 "}) {
        simulator->waitForLine(com, std::chrono::seconds(1));
    }
    return simulator;
}

blocksim::Scenario twoRecords() {
    return pairScenario(60, {pairEntry(5, 2, true, 7, 8000, 1)}, 60,
                        {pairEntry(9, 2, false, 7, 8000, 1)});
}

std::vector<std::uint8_t> expectedRecord(const blocksim::Scenario& scenario, std::uint8_t record) {
    return expectedWavFile({&scenario.blocks[0].setup, 5}, {&scenario.blocks[1].setup, 9}, record);
}

TEST(DownloadWait, ReadsBlocksPluggedInOnlyAfterItStarted) {
    PrivateRuntimeDir runtime;
    runtime.blockOtherPorts({kPairComA, kPairComB});
    TempFolder folder;
    const blocksim::Scenario scenario = twoRecords();
    std::unique_ptr<SimulatorProcess> blocks;
    CliRun run;
    run.arguments = {"download", "--out", folder.path().string(), "--all", "--wait"};
    run.whenErrorShows = {
        {"Waiting for the blocks", [&] { blocks = plugIn(runtime, scenario, "pair"); }}};
    const CliResult result = runCli(KELVRA_CLI_PATH, run);
    ASSERT_EQ(result.status, 0) << result.err;
    ASSERT_TRUE(blocks) << result.err;
    EXPECT_EQ(fileDifference(readFileBytes(folder.file(kFirst)), expectedRecord(scenario, 0)), "");
    EXPECT_EQ(fileDifference(readFileBytes(folder.file(kSecond)), expectedRecord(scenario, 1)), "");
}

// Two pairs, one after the other, each into its own folder. The first is cleared once proven;
// the second holds a record too long for a WAV file, which its folder therefore lacks: it is
// not cleared.
TEST(Offload, ServesPairAfterPairAndClearsOnlyWhatItProved) {
    PrivateRuntimeDir runtime;
    runtime.blockOtherPorts({kPairComA, kPairComB});
    TempFolder folder;
    const blocksim::Scenario first = twoRecords();
    blocksim::Scenario second = pairScenario(
        60, {pairEntry(5, 1, true, 7, 8000, 1), pairEntry(6, 1, true, 9, 65535, 65535)}, 60,
        {pairEntry(9, 1, false, 7, 8000, 1)});
    second.blocks[0].setup.serialYear = 19;
    second.blocks[0].setup.serialNumber = 513;
    second.blocks[1].setup.serialYear = 19;
    second.blocks[1].setup.serialNumber = 514;

    std::unique_ptr<SimulatorProcess> blocks;
    std::vector<std::string> firstStatus;
    const auto status = [&] {
        std::vector<std::string> lines;
        blocks->send("status");
        for (const char* com : {"COM3 ", "COM4 "}) {
            lines.push_back(blocks->waitForLine(com, std::chrono::seconds(10)).value_or(""));
        }
        return lines;
    };
    CliRun run;
    run.arguments = {"offload", "--out", folder.path().string(), "--clear", "--json"};
    run.whenErrorShows = {
        {"Waiting for a pair of blocks", [&] { blocks = plugIn(runtime, first, "first"); }},
        {"Pair 2018-042_2018-043 done",
         [&] {
             firstStatus = status();
             blocks.reset();
             blocks = plugIn(runtime, second, "second");
         }},
    };
    run.interruptOn = "Pair 2019-513_2019-514 done";
    const CliResult result = runCli(KELVRA_CLI_PATH, run);
    ASSERT_TRUE(result.interrupted) << result.err;
    EXPECT_EQ(result.status, 1) << "the second pair lacks a record: " << result.err;

    std::vector<Json> pairs;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        pairs.push_back(Json::parse(line));
    }
    ASSERT_EQ(pairs.size(), 2u) << result.out;
    EXPECT_EQ(pairs[0]["pair"], "2018-042_2018-043");
    EXPECT_EQ(pairs[0]["written"], 2);
    EXPECT_EQ(pairs[0]["verified"], true);
    EXPECT_EQ(pairs[0]["cleared"], true);
    EXPECT_EQ(pairs[1]["pair"], "2019-513_2019-514");
    EXPECT_EQ(pairs[1]["records"], 2);
    EXPECT_EQ(pairs[1]["written"], 1);
    EXPECT_EQ(pairs[1]["failed"], 1);
    EXPECT_EQ(pairs[1]["cleared"], false);
    // The simulator tells what the blocks hold: the first pair's records are gone, the second's
    // are there.
    for (const std::string& line : firstStatus) {
        EXPECT_NE(line.find("entries 0"), std::string::npos) << line;
    }
    const std::vector<std::string> secondStatus = status();
    EXPECT_NE(secondStatus[0].find("entries 2"), std::string::npos) << secondStatus[0];

    const auto firstFolder = folder.path() / "2018-042_2018-043";
    EXPECT_EQ(fileDifference(readFileBytes(firstFolder / kFirst), expectedRecord(first, 0)), "");
    EXPECT_EQ(fileDifference(readFileBytes(firstFolder / kSecond), expectedRecord(first, 1)), "");
    EXPECT_EQ(fileDifference(readFileBytes(folder.path() / "2019-513_2019-514" / kFirst),
                             expectedRecord(second, 0)),
              "");
}

}  // namespace
}  // namespace kelvra::test
