#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "download/WavFormat.h"
#include "tests/support/CliSimulation.h"
#include "tests/support/ExpectedWav.h"
#include "tests/support/PairScenario.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WavExpectation.h"

namespace kelvra::test {
namespace {

constexpr const char* kFile = "5 Марта 18г 14-07-09 Запись 1.wav";
// 5 s at 21362 samples a second: 209 sectors a block, about 5 s at the line rate.
constexpr std::uint32_t kRecordSectors = (21362u * 5 * 2 + 511) / 512;
constexpr std::uint32_t kBatch = 20;

blocksim::Scenario record(std::uint32_t seed) {
    auto a = pairEntry(5, 1, true, 7, 21362, 5);
    auto b = pairEntry(9, 1, false, 7, 21362, 5);
    a.sampleSeed = seed;
    b.sampleSeed = seed;
    return pairScenario(60, {a}, 60, {b});
}

// The record sectors each block has sent so far, from the simulator's status.
std::vector<std::uint64_t> sectorsSent(SimulatorProcess& simulator) {
    const std::size_t before = simulator.lines().size();
    EXPECT_TRUE(simulator.command("status"));
    std::vector<std::uint64_t> counts;
    for (std::size_t i = before; i < simulator.lines().size(); ++i) {
        const std::string& line = simulator.lines()[i];
        if (const auto at = line.find(" sectors "); at != std::string::npos) {
            counts.push_back(std::stoull(line.substr(at + 9)));
        }
    }
    EXPECT_EQ(counts.size(), 2u);
    return counts;
}

CliResult download(const CliSimulation& blocks, const TempFolder& folder,
                   const std::string& stopOn = "", int signal = 0) {
    CliRun run;
    run.arguments = {"download", "--out", folder.path().string(), "1"};
    run.interruptOn = stopOn;
    run.interruptWith = signal;
    return blocks.run(run);
}

std::uint32_t wholePairsIn(const std::filesystem::path& partial) {
    return static_cast<std::uint32_t>((std::filesystem::file_size(partial) - kWavHeaderSize) /
                                      1024);
}

struct Interruption {
    const char* name;
    int signal;
    const char* when;
    // Bytes cut off the partial file after the stop, as a power cut may leave it.
    std::uintmax_t cut;
};

// Listed by name, not by its bytes.
void PrintTo(const Interruption& interruption, std::ostream* out) {
    *out << interruption.name;
}

class ResumedDownload : public ::testing::TestWithParam<Interruption> {};

TEST_P(ResumedDownload, ReadsOnlyTheOverlapAndTheLostBatchAgainAndEndsByteExact) {
    const blocksim::Scenario scenario = record(0);
    CliSimulation blocks(KELVRA_CLI_PATH, KELVRA_BLOCKSIM_PATH, scenario, true);
    TempFolder folder;
    const CliResult stopped = download(blocks, folder, GetParam().when, GetParam().signal);
    ASSERT_TRUE(stopped.interrupted) << stopped.err;
    const auto partial = folder.path() / (std::string(kFile) + ".part");
    ASSERT_TRUE(std::filesystem::exists(partial));
    std::filesystem::resize_file(partial, std::filesystem::file_size(partial) - GetParam().cut);
    const std::uint32_t kept = wholePairsIn(partial);
    ASSERT_GT(kept, kBatch);
    const std::vector<std::uint64_t> first = sectorsSent(blocks.simulator());

    const CliResult resumed = download(blocks, folder);
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_NE(resumed.out.find("continued from " + std::string(kFile) + ".part"), std::string::npos)
        << resumed.out;
    EXPECT_EQ(resumed.out.find("read from the start"), std::string::npos) << resumed.out;
    EXPECT_EQ(fileDifference(readFileBytes(folder.file(kFile)),
                             expectedWavFile({&scenario.blocks[0].setup, 5},
                                             {&scenario.blocks[1].setup, 9}, 0)),
              "");
    EXPECT_EQ(folder.fileNames(), std::vector<std::string>{kFile}) << "the record file stays";
    const std::vector<std::uint64_t> both = sectorsSent(blocks.simulator());
    for (std::size_t block = 0; block < 2; ++block) {
        // The pairs after the last whole one kept, and one batch before them to compare.
        EXPECT_EQ(both[block] - first[block], kRecordSectors - kept + kBatch) << block;
        if (GetParam().cut == 0) {
            // At most the batch in hand is lost, beyond the overlap.
            EXPECT_LE(both[block] - kRecordSectors, 2 * kBatch) << block;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stops, ResumedDownload,
    ::testing::Values(Interruption{"KilledEarly", SIGKILL, "30% of the job", 0},
                      Interruption{"KilledLate", SIGKILL, "70% of the job", 0},
                      Interruption{"CtrlC", SIGINT, "50% of the job", 0},
                      Interruption{"PowerCutAtAnOddByte", SIGKILL, "60% of the job", 3333}),
    [](const auto& test) { return std::string(test.param.name); });

// A partial file that cannot be told from a torn start, or whose header is not the one this
// record gets, is read again whole.
class UntrustedPartialFile : public ::testing::TestWithParam<const char*> {};

TEST_P(UntrustedPartialFile, IsReadFromTheStart) {
    const blocksim::Scenario scenario = record(0);
    CliSimulation blocks(KELVRA_CLI_PATH, KELVRA_BLOCKSIM_PATH, scenario, true);
    TempFolder folder;
    ASSERT_TRUE(download(blocks, folder, "50% of the job", SIGKILL).interrupted);
    const bool torn = std::string(GetParam()) == "TornRecordFile";
    const auto damaged = folder.path() / (std::string(kFile) + (torn ? ".part.json" : ".part"));
    std::vector<std::uint8_t> bytes = readFileBytes(damaged);
    bytes.resize(torn ? bytes.size() - 1 : bytes.size());
    bytes[torn ? 0 : 40] ^= torn ? 0 : 1;
    std::ofstream(damaged, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const std::vector<std::uint64_t> first = sectorsSent(blocks.simulator());

    const CliResult again = download(blocks, folder);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(sectorsSent(blocks.simulator())[0] - first[0], kRecordSectors);
    EXPECT_EQ(again.out.find("does not begin as this record's file: read from the start") ==
                  std::string::npos,
              torn)
        << again.out;
    EXPECT_EQ(fileDifference(readFileBytes(folder.file(kFile)),
                             expectedWavFile({&scenario.blocks[0].setup, 5},
                                             {&scenario.blocks[1].setup, 9}, 0)),
              "");
}

INSTANTIATE_TEST_SUITE_P(Damage, UntrustedPartialFile,
                         ::testing::Values("TornRecordFile", "OtherHeader"));

TEST(ResumedDownloadOfChangedBlocks, ReadsTheRecordFromTheStartAndSaysSo) {
    TempFolder folder;
    {
        const CliSimulation before(KELVRA_CLI_PATH, KELVRA_BLOCKSIM_PATH, record(0), true);
        ASSERT_TRUE(download(before, folder, "50% of the job", SIGKILL).interrupted);
    }
    // Cleared and recording again: the same directory, other samples.
    const blocksim::Scenario scenario = record(77);
    const CliSimulation after(KELVRA_CLI_PATH, KELVRA_BLOCKSIM_PATH, scenario);
    const CliResult resumed = download(after, folder);
    ASSERT_EQ(resumed.status, 0) << resumed.err;
    EXPECT_NE(resumed.out.find(std::string(kFile) +
                               ".part has changed on the blocks: read from the start"),
              std::string::npos)
        << resumed.out;
    EXPECT_EQ(fileDifference(readFileBytes(folder.file(kFile)),
                             expectedWavFile({&scenario.blocks[0].setup, 5},
                                             {&scenario.blocks[1].setup, 9}, 0)),
              "");
}

// A partial file of another record at the name is kept, untouched, and the record takes the
// next free name.
TEST(ResumedDownloadOfAnotherRecord, KeepsItsPartialFileAndTakesTheNextName) {
    TempFolder folder;
    {
        auto other = record(0);
        other.blocks[0].setup.entries[0].entryInfo = {9, 9, 9, 9};
        other.blocks[1].setup.entries[0].entryInfo = {9, 9, 9, 9};
        const CliSimulation before(KELVRA_CLI_PATH, KELVRA_BLOCKSIM_PATH, other, true);
        ASSERT_TRUE(download(before, folder, "50% of the job", SIGKILL).interrupted);
    }
    const auto partial = folder.path() / (std::string(kFile) + ".part");
    const std::vector<std::uint8_t> kept = readFileBytes(partial);
    const blocksim::Scenario scenario = record(0);
    const CliSimulation after(KELVRA_CLI_PATH, KELVRA_BLOCKSIM_PATH, scenario);
    const CliResult result = download(after, folder);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readFileBytes(partial), kept);
    EXPECT_EQ(fileDifference(readFileBytes(folder.file("5 Марта 18г 14-07-09 Запись 1 (2).wav")),
                             expectedWavFile({&scenario.blocks[0].setup, 5},
                                             {&scenario.blocks[1].setup, 9}, 0)),
              "");
}

}  // namespace
}  // namespace kelvra::test
