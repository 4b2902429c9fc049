// Two downloads into one folder at once, as two recorders offloaded side by side from one PC
// whose clocks were set alike: every record of both ends in a file of its own, byte-exact.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "download/DownloadManifest.h"
#include "tests/support/CliSimulation.h"
#include "tests/support/ExpectedWav.h"
#include "tests/support/PairScenario.h"
#include "tests/support/TempFolder.h"

namespace kelvra::test {
namespace {

constexpr const char* kCli = KELVRA_CLI_PATH;

// A pair whose records have the names of the other pair's: the same date, time and numbers.
blocksim::Scenario pairWithSerials(std::uint16_t serialA, std::uint16_t serialB,
                                   std::uint8_t addressA, std::uint8_t addressB) {
    blocksim::Scenario scenario = pairScenario(60, {pairEntry(addressA, 3, true, 7, 8000, 2)}, 60,
                                               {pairEntry(addressB, 3, false, 7, 8000, 2)});
    scenario.blocks[0].setup.serialNumber = serialA;
    scenario.blocks[1].setup.serialNumber = serialB;
    return scenario;
}

TEST(SharedFolder, TwoDownloadsOfRecordsOfOneNameKeepEveryRecord) {
    const blocksim::Scenario first = pairWithSerials(42, 43, 5, 9);
    const blocksim::Scenario second = pairWithSerials(52, 53, 6, 10);
    // At the line rate both jobs take seconds, so that they overlap.
    const CliSimulation blocksOfFirst(kCli, KELVRA_BLOCKSIM_PATH, first, true);
    const CliSimulation blocksOfSecond(kCli, KELVRA_BLOCKSIM_PATH, second, true);
    TempFolder folder;
    // Each program finds its own pair: the port directory of the simulation last made is in
    // this process's environment.
    const auto runIn = [&](const CliSimulation& blocks) {
        CliRun run;
        run.arguments = {"download", "--out", folder.path().string(), "--all"};
        run.environment["XDG_RUNTIME_DIR"] = blocks.runtime().path();
        return blocks.run(run);
    };
    CliResult resultOfSecond;
    std::thread other([&] { resultOfSecond = runIn(blocksOfSecond); });
    const CliResult resultOfFirst = runIn(blocksOfFirst);
    other.join();
    ASSERT_EQ(resultOfFirst.status, 0) << resultOfFirst.err << resultOfFirst.out;
    ASSERT_EQ(resultOfSecond.status, 0) << resultOfSecond.err << resultOfSecond.out;

    const DownloadManifest manifest = DownloadManifest::load(folder.path().string());
    ASSERT_EQ(manifest.entries().size(), 6u);
    ASSERT_EQ(folder.fileNames().size(), 6u);
    for (const auto& [name, entry] : manifest.entries()) {
        ASSERT_TRUE(entry.record.blockA && entry.record.blockB) << name;
        const blocksim::Scenario& pair = entry.record.blockA->serialNumber == 42 ? first : second;
        const auto record = static_cast<std::uint8_t>(entry.record.recordNo - 1);
        const std::uint8_t addressA = pair.blocks[0].setup.entries[0].address;
        const std::uint8_t addressB = pair.blocks[1].setup.entries[0].address;
        EXPECT_EQ(fileDifference(readFileBytes(folder.path() / name),
                                 expectedWavFile({&pair.blocks[0].setup, addressA},
                                                 {&pair.blocks[1].setup, addressB}, record)),
                  "")
            << name;
        EXPECT_EQ(checkFile(folder.path().string(), entry), FileCheck::Ok) << name;
    }
}

}  // namespace
}  // namespace kelvra::test
