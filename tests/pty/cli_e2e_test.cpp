#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "download/WavFormat.h"
#include "records/RecordListLine.h"
#include "tests/support/CliSimulation.h"
#include "tests/support/ExpectedWav.h"
#include "tests/support/JsonLines.h"
#include "tests/support/PairScenario.h"
#include "tests/support/PtyStation.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

constexpr const char* kCli = KELVRA_CLI_PATH;

CliRun args(std::vector<std::string> arguments) {
    CliRun run;
    run.arguments = std::move(arguments);
    return run;
}

// --- list ------------------------------------------------------------------------------------

class CliListOfSampleScenario : public ::testing::TestWithParam<std::string> {};

TEST_P(CliListOfSampleScenario, IsTheWindowsTable) {
    const blocksim::Scenario scenario =
        blocksim::loadScenario(std::string(KELVRA_SCENARIO_DIR) + "/" + GetParam());
    std::vector<std::string> windowLines;
    std::vector<RecordInfo> rows;
    {
        PtyStation station({KELVRA_BLOCKSIM_PATH, scenario, false});
        ASSERT_TRUE(station.tickUntilBothPlaced());
        windowLines = station.listLines();
        rows.assign(
            station.window().recordTable.begin(),
            station.window().recordTable.begin() + static_cast<std::ptrdiff_t>(windowLines.size()));
    }
    ASSERT_FALSE(windowLines.empty());
    const CliSimulation blocks(kCli, KELVRA_BLOCKSIM_PATH, scenario);
    const CliResult result = blocks.run(args({"list", "--json"}));
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<Json> listed = jsonLines(result.out);
    ASSERT_EQ(listed.size(), windowLines.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        SCOPED_TRACE(windowLines[i]);
        const RecordInfo& row = rows[i];
        const Json& object = listed[i];
        EXPECT_EQ(object["index"], i + 1);
        EXPECT_EQ(object["line"], windowLines[i]);
        char time[32];
        std::snprintf(time, sizeof time, "%04d-%02d-%02dT%02d:%02d:%02d", 2000 + row.year,
                      row.month, row.day, row.hour, row.minute, row.second);
        EXPECT_EQ(object["time"], time);
        EXPECT_EQ(object["record"], row.recordNo);
        EXPECT_EQ(object["blocks"], row.addrA == kNoCopy   ? "B"
                                    : row.addrB == kNoCopy ? "A"
                                                           : "both");
        EXPECT_EQ(object["sampleRate"], row.sampleRate);
        EXPECT_EQ(object["duration"], row.duration);
        EXPECT_EQ(object["bytesPerChannel"], 2 * row.sampleRate * row.duration);
        EXPECT_EQ(object["file"], wavFileName(row));
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, CliListOfSampleScenario,
                         ::testing::Values("pair.json", "stream-modes.json"), [](const auto& test) {
                             std::string name = test.param.substr(0, test.param.find('.'));
                             std::erase(name, '-');
                             return name;
                         });

// --- download --------------------------------------------------------------------------------

struct ReadMode {
    const char* name;
    int firmwareA;
    int firmwareB;
};

void PrintTo(const ReadMode& mode, std::ostream* out) {
    *out << mode.name;
}

class CliDownload : public ::testing::TestWithParam<ReadMode> {
protected:
    void serve(bool pace = false) {
        const ReadMode mode = GetParam();
        scenario = pairScenario(
            mode.firmwareA, {pairEntry(5, 2, true, 7, 8000, 3)}, mode.firmwareB,
            {pairEntry(9, 2, false, 7, 8000, 3), pairEntry(11, 1, false, 11, 8000, 1)});
        blocks = std::make_unique<CliSimulation>(kCli, KELVRA_BLOCKSIM_PATH, scenario, pace);
    }

    // The folder holds exactly these files, each what the simulated blocks' generator says an
    // uninterrupted download writes, as the window's own end-to-end tests demand of it.
    void expectFiles() {
        const blocksim::BlockSetup* a = &scenario.blocks[0].setup;
        const blocksim::BlockSetup* b = &scenario.blocks[1].setup;
        const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files = {
            {"5 Марта 18г 14-07-09 Запись 1.wav", expectedWavFile({a, 5}, {b, 9}, 0)},
            {"5 Марта 18г 14-07-09 Запись 2.wav", expectedWavFile({a, 5}, {b, 9}, 1)},
            {"5 Марта 18г 14-11-09 Запись 1.wav", expectedWavFile({}, {b, 11}, 0)},
        };
        std::vector<std::string> names;
        for (const auto& [name, bytes] : files) {
            names.push_back(name);
            EXPECT_EQ(fileDifference(readFileBytes(folder.path() / name), bytes), "") << name;
        }
        EXPECT_EQ(folder.fileNames(), names);
    }

    blocksim::Scenario scenario;
    std::unique_ptr<CliSimulation> blocks;
    TempFolder folder;
};

TEST_P(CliDownload, WritesTheWindowsFilesAndSkipsCompleteOnes) {
    serve();
    const CliResult first = blocks->run(args({"download", "--out", folder.path(), "--all"}));
    ASSERT_EQ(first.status, 0) << first.err;
    expectFiles();

    // One file cut short: only its line is read again, beside it, since the changed file may be
    // someone's edit.
    const auto cut = folder.path() / "5 Марта 18г 14-07-09 Запись 2.wav";
    const auto cutSize = std::filesystem::file_size(cut) - 512;
    std::filesystem::resize_file(cut, cutSize);
    const CliResult again = blocks->run(
        args({"download", "--out", folder.path(), "--all", "--skip-existing", "--json"}));
    ASSERT_EQ(again.status, 0) << again.err;
    std::map<int, std::string> statuses;
    for (const Json& line : jsonLines(again.out)) {
        statuses[line["index"].get<int>()] = line["status"].get<std::string>();
    }
    EXPECT_EQ(statuses,
              (std::map<int, std::string>{{1, "skipped"}, {2, "written"}, {3, "skipped"}}));
    EXPECT_EQ(std::filesystem::file_size(cut), cutSize);
    const auto beside = folder.path() / "5 Марта 18г 14-07-09 Запись 2 (2).wav";
    EXPECT_EQ(
        fileDifference(readFileBytes(beside), expectedWavFile({&scenario.blocks[0].setup, 5},
                                                              {&scenario.blocks[1].setup, 9}, 1)),
        "");
}

TEST_P(CliDownload, RecoversFromAnUnpluggedBlock) {
    serve();
    // Block B goes away for 2 s in the middle of the first record.
    ASSERT_TRUE(blocks->simulator().command("unplug-after COM4 20 2000"));
    const CliResult result = blocks->run(args({"download", "--out", folder.path(), "--all"}));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("waiting for the blocks"), std::string::npos) << result.err;
    expectFiles();
}

INSTANTIATE_TEST_SUITE_P(ReadModes, CliDownload,
                         ::testing::Values(ReadMode{"BasicStream", 70, 70},
                                           ReadMode{"SingleSectors", 31, 31},
                                           ReadMode{"Batches", 60, 60}),
                         [](const auto& test) { return std::string(test.param.name); });

// A block cleared and recording again from a reset clock lists the directory it listed before;
// only the samples tell the new recording from the one in the folder.
TEST(CliContentProof, ARecordWithTheSameDirectoryButOtherSamplesIsReadAgainAndNotCleared) {
    blocksim::Scenario scenario = pairScenario(60, {pairEntry(5, 1, true, 7, 8000, 3)}, 60,
                                               {pairEntry(9, 1, false, 7, 8000, 3)});
    TempFolder folder;
    const auto first = folder.path() / "5 Марта 18г 14-07-09 Запись 1.wav";
    std::vector<std::uint8_t> earlier;
    {
        const CliSimulation blocks(kCli, KELVRA_BLOCKSIM_PATH, scenario);
        const CliResult result = blocks.run(args({"download", "--out", folder.path(), "--all"}));
        ASSERT_EQ(result.status, 0) << result.err;
        earlier = readFileBytes(first);
    }
    for (blocksim::ScenarioBlock& block : scenario.blocks) {
        block.setup.entries[0].sampleSeed = 99;
    }
    const CliSimulation blocks(kCli, KELVRA_BLOCKSIM_PATH, scenario);
    const auto clear = args({"clear", "--if-downloaded-to", folder.path(), "--yes"});
    const CliResult refused = blocks.run(clear);
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.err.find("Line 1: " + first.filename().string() +
                               " does not hold what the blocks hold"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(jsonLines(blocks.run(args({"list", "--json"})).out).size(), 1u)
        << "the record was cleared";

    const auto skip = args({"download", "--out", folder.path(), "--all", "--skip-existing"});
    const CliResult again = blocks.run(skip);
    ASSERT_EQ(again.status, 0) << again.err;
    const auto second = folder.path() / "5 Марта 18г 14-07-09 Запись 1 (2).wav";
    EXPECT_NE(again.out.find("Line 1: written " + second.filename().string()), std::string::npos)
        << again.out;
    EXPECT_EQ(readFileBytes(first), earlier);
    EXPECT_EQ(
        fileDifference(readFileBytes(second), expectedWavFile({&scenario.blocks[0].setup, 5},
                                                              {&scenario.blocks[1].setup, 9}, 0)),
        "");

    // Now the folder holds what the blocks hold: nothing is read, and the clear goes ahead.
    const CliResult skipped = blocks.run(skip);
    EXPECT_NE(skipped.out.find("Line 1: skipped " + second.filename().string()), std::string::npos)
        << skipped.out;
    const CliResult cleared = blocks.run(clear);
    EXPECT_EQ(cleared.status, 0) << cleared.err;
    EXPECT_EQ(jsonLines(blocks.run(args({"list", "--json"})).out).size(), 0u);
}

struct StopSignal {
    const char* name;
    int signal;
};

void PrintTo(const StopSignal& stop, std::ostream* out) {
    *out << stop.name;
}

class CliStop : public ::testing::TestWithParam<StopSignal> {};

TEST_P(CliStop, StopsAfterThePairInHandAndNamesThePartialFile) {
    // Held to the line rate, the record takes about 9 s: the signal comes well inside it.
    const blocksim::Scenario scenario = pairScenario(60, {pairEntry(5, 1, true, 7, 21362, 10)}, 60,
                                                     {pairEntry(9, 1, false, 7, 21362, 10)});
    const CliSimulation blocks(kCli, KELVRA_BLOCKSIM_PATH, scenario, true);
    TempFolder folder;
    CliRun run = args({"download", "--out", folder.path(), "1"});
    run.interruptOn = "10% of the job";
    run.interruptWith = GetParam().signal;
    const CliResult result = blocks.run(run);
    ASSERT_TRUE(result.interrupted) << result.err;
    EXPECT_EQ(result.status, 1) << result.err;
    const auto partial = folder.path() / "5 Марта 18г 14-07-09 Запись 1.wav.part";
    EXPECT_NE(result.err.find("partial file " + partial.string()), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "5 Марта 18г 14-07-09 Запись 1.wav"));
    const auto size = std::filesystem::file_size(partial);
    EXPECT_GT(size, kWavHeaderSize);
    EXPECT_LT(size, kWavHeaderSize + 4u * 21362 * 10);
    // What is there is the record's beginning, pair by pair.
    std::vector<std::uint8_t> expected =
        expectedWavFile({&scenario.blocks[0].setup, 5}, {&scenario.blocks[1].setup, 9}, 0);
    expected.resize(size);
    EXPECT_EQ(fileDifference(readFileBytes(partial), expected), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, CliStop,
                         ::testing::Values(StopSignal{"CtrlC", SIGINT},
                                           StopSignal{"Terminate", SIGTERM},
                                           StopSignal{"TerminalClosed", SIGHUP}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(CliStopIgnored, ASignalIgnoredFromTheStartStaysIgnored) {
    const blocksim::Scenario scenario = pairScenario(60, {pairEntry(5, 1, true, 7, 21362, 3)}, 60,
                                                     {pairEntry(9, 1, false, 7, 21362, 3)});
    const CliSimulation blocks(kCli, KELVRA_BLOCKSIM_PATH, scenario, true);
    TempFolder folder;
    CliRun run = args({"download", "--out", folder.path(), "1"});
    run.ignoredSignals = {SIGHUP};
    run.interruptOn = "10% of the job";
    run.interruptWith = SIGHUP;
    const CliResult result = blocks.run(run);
    ASSERT_TRUE(result.interrupted) << result.err;
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(fileDifference(readFileBytes(folder.path() / "5 Марта 18г 14-07-09 Запись 1.wav"),
                             expectedWavFile({&scenario.blocks[0].setup, 5},
                                             {&scenario.blocks[1].setup, 9}, 0)),
              "");
}

TEST(CliOutput, AReaderThatGoesAwayDoesNotStopTheDownload) {
    const blocksim::Scenario scenario =
        pairScenario(60, {pairEntry(5, 2, true, 7, 8000, 1)}, 60,
                     {pairEntry(9, 2, false, 7, 8000, 1), pairEntry(11, 1, false, 11, 8000, 1)});
    const CliSimulation blocks(kCli, KELVRA_BLOCKSIM_PATH, scenario);
    TempFolder folder;
    CliRun run = args({"download", "--out", folder.path(), "--all"});
    run.outputClosed = true;
    const CliResult result = blocks.run(run);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("Line 3: written 5 Марта 18г 14-11-09 Запись 1.wav"),
              std::string::npos)
        << "what the reader could not take is on standard error: " << result.err;
    EXPECT_EQ(folder.fileNames().size(), 3u);
}

TEST(CliBusyPorts, NoBlockFoundButPortsHeldIsSaid) {
    const blocksim::Scenario scenario =
        pairScenario(60, {pairEntry(5, 1, true, 7, 8000, 1)}, 60, {});
    const CliSimulation blocks(kCli, KELVRA_BLOCKSIM_PATH, scenario);
    std::vector<int> holders;
    for (int com : {3, 4}) {
        const std::string device = std::filesystem::canonical(blocks.runtime().portDirectory() +
                                                              "/COM" + std::to_string(com));
        holders.push_back(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        ASSERT_GE(holders.back(), 0);
        ASSERT_EQ(::flock(holders.back(), LOCK_EX | LOCK_NB), 0);
    }
    const CliResult result = blocks.run(args({"list"}));
    for (int holder : holders) {
        ::close(holder);
    }
    EXPECT_EQ(result.status, 3);
    EXPECT_NE(result.err.find("COM3, COM4 busy: held by another program"), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("kelvra-cli ports"), std::string::npos) << result.err;
}

// --- ports and exit statuses -----------------------------------------------------------------

TEST(CliPorts, TellsAbsentRefusedBusyAndBlockPortsApart) {
    const blocksim::Scenario scenario =
        pairScenario(60, {pairEntry(5, 1, true, 7, 8000, 1)}, 62, {});
    CliSimulation blocks(kCli, KELVRA_BLOCKSIM_PATH, scenario);
    // Root's reach into any device would hide the refusals: as root, the program runs as nobody,
    // and what it must reach becomes nobody's.
    const bool root = ::geteuid() == 0;
    const uid_t user = root ? 65534 : ::geteuid();
    const gid_t userGroup = root ? 65534 : ::getegid();
    const auto handOver = [&](const std::string& path) {
        ASSERT_TRUE(!root || ::lchown(path.c_str(), user, userGroup) == 0) << path;
    };
    const std::string runtime = blocks.runtime().path();
    const std::string ports = blocks.runtime().portDirectory();
    for (const std::string& directory : {runtime, runtime + "/kelvra", ports}) {
        handOver(directory);
    }
    // COM5: a device that only its group may open (as root: the dialout group, if there is one).
    const std::string refused = runtime + "/refused-device";
    std::ofstream(refused).put('x');
    const group* dialout = ::getgrnam("dialout");
    if (root) {
        ASSERT_EQ(::chown(refused.c_str(), 0, dialout != nullptr ? dialout->gr_gid : 0), 0);
    }
    ASSERT_EQ(::chmod(refused.c_str(), root ? 0660 : 0060), 0);
    struct stat refusedStatus {};
    ASSERT_EQ(::stat(refused.c_str(), &refusedStatus), 0);
    const std::string refusedGroup = ::getgrgid(refusedStatus.st_gid)->gr_name;
    // COM7: a device only its owner may open: joining its group would not help.
    const std::string ownersOnly = runtime + "/owners-device";
    std::ofstream(ownersOnly).put('x');
    ASSERT_EQ(::chmod(ownersOnly.c_str(), 0600), 0);
    // COM6: a device another program holds.
    const std::string held = runtime + "/held-device";
    std::ofstream(held).put('x');
    handOver(held);
    const int holder = ::open(held.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    for (const auto& [com, target] :
         {std::pair{5, refused}, std::pair{6, held}, std::pair{7, ownersOnly}}) {
        const std::string link = ports + "/COM" + std::to_string(com);
        ::unlink(link.c_str());
        ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
        handOver(link);
    }
    for (int com : {3, 4}) {
        handOver(std::filesystem::canonical(ports + "/COM" + std::to_string(com)).string());
    }

    CliRun run = args({"ports"});
    if (root) {
        run.user = std::pair{user, userGroup};
    }
    const CliResult result = blocks.run(run);
    ::close(holder);
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<std::string> lines;
    std::istringstream out(result.out);
    for (std::string line; std::getline(out, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 29u) << result.out;
    const auto state = [&](int com) { return lines[static_cast<std::size_t>(com - 1)]; };
    EXPECT_NE(state(1).find("absent"), std::string::npos) << state(1);
    EXPECT_NE(state(3).find("block A, S/N 2018-042, firmware 6.0"), std::string::npos) << state(3);
    EXPECT_NE(state(4).find("block B, S/N 2018-043, firmware 6.2"), std::string::npos) << state(4);
    EXPECT_NE(
        state(5).find("permission denied (members of group " + refusedGroup + " have access)"),
        std::string::npos)
        << state(5);
    EXPECT_NE(state(5).find("port directory link to " + refused), std::string::npos) << state(5);
    EXPECT_NE(state(6).find("busy, held by another program"), std::string::npos) << state(6);
    EXPECT_NE(state(7).find("cannot be opened: permission denied"), std::string::npos) << state(7);
    EXPECT_EQ(state(7).find("group"), std::string::npos) << state(7);
}

TEST(CliExitStatus, TellsUsageNoBlocksAndLinkFailuresApart) {
    const blocksim::Scenario scenario =
        pairScenario(60, {pairEntry(5, 1, true, 7, 8000, 1)}, 60, {});
    {
        CliSimulation blocks(kCli, KELVRA_BLOCKSIM_PATH, scenario);
        EXPECT_EQ(blocks.run(args({"download", "--all"})).status, 2);
        EXPECT_EQ(blocks.run(args({"clear"})).status, 2) << "clear without --yes";
        EXPECT_EQ(blocks.run(args({"download", "--out", "/", "7"})).status, 2) << "no line 7";
        ASSERT_TRUE(blocks.simulator().command("fault COM3 short-params 3"));
        const CliResult broken = blocks.run(args({"list"}));
        EXPECT_FALSE(broken.hung);
        EXPECT_EQ(broken.status, 1);
        EXPECT_EQ(broken.err, "Cannot read parameters\n");
    }
    PrivateRuntimeDir empty;
    empty.blockOtherPorts({});
    const CliResult none = runCli(kCli, args({"list"}));
    EXPECT_EQ(none.status, 3) << none.err;
}

}  // namespace
}  // namespace kelvra::test
