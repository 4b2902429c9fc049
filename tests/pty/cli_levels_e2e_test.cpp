// A dead and an overdriven block are told at the desk: by a warning as each file is written,
// and in the manifest and the --json report, from levels taken while the file was written.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/CliSimulation.h"
#include "tests/support/ExpectedWav.h"
#include "tests/support/JsonLines.h"
#include "tests/support/PairScenario.h"

namespace kelvra::test {
namespace {

using Json = nlohmann::json;
using blocksim::SampleShape;

constexpr std::size_t kHeaderBytes = 76;

std::vector<std::string> warnings(const std::string& text) {
    std::vector<std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("warning: ")) {
            found.push_back(line);
        }
    }
    return found;
}

// One channel of a file as the manifest must note it, reckoned here from the file's samples.
struct Expected {
    std::string block;  // empty: no block's copy
    std::uint64_t clipped = 0;
    std::uint64_t samples = 0;
    std::optional<double> peak;
    std::optional<double> rms;
};

Expected reckon(const std::vector<std::uint8_t>& file, int channel, std::string block) {
    Expected expected;
    expected.block = std::move(block);
    int peak = 0;
    double squares = 0;
    for (std::size_t at = kHeaderBytes + 2 * static_cast<std::size_t>(channel);
         at + 1 < file.size(); at += 4) {
        const int sample = static_cast<std::int16_t>(file[at] | file[at + 1] << 8);
        peak = std::max(peak, std::abs(sample));
        squares += static_cast<double>(sample) * sample;
        expected.clipped += sample == -32768 || sample == 32767;
        ++expected.samples;
    }
    if (peak != 0) {
        expected.peak = 20 * std::log10(peak / 32768.0);
        expected.rms =
            20 * std::log10(std::sqrt(squares / static_cast<double>(expected.samples)) / 32768.0);
    }
    return expected;
}

void expectLevel(const Json& actual, const std::optional<double>& expected) {
    if (!expected) {
        EXPECT_TRUE(actual.is_null()) << actual;
    } else {
        ASSERT_TRUE(actual.is_number()) << actual;
        EXPECT_NEAR(actual.get<double>(), *expected, 0.0051);
    }
}

void expectChannel(const Json& actual, const Expected& expected) {
    SCOPED_TRACE(actual.dump());
    EXPECT_EQ(actual.at("block"), expected.block.empty() ? Json() : Json(expected.block));
    expectLevel(actual.at("peakDbfs"), expected.peak);
    expectLevel(actual.at("rmsDbfs"), expected.rms);
    EXPECT_EQ(actual.at("clipped"), expected.clipped);
    EXPECT_EQ(actual.at("silent"),
              expected.block.empty() || !expected.peak || *expected.peak <= -60);
}

TEST(CliLevels, ADeadAndAnOverdrivenBlockAreWarnedOfAndNotedChannelByChannel) {
    auto entry = [](std::uint8_t address, bool roleA, int minute, int seconds, SampleShape shape) {
        blocksim::EntrySetup setup =
            pairEntry(address, 1, roleA, minute, 8000, static_cast<std::uint16_t>(seconds));
        setup.samples = shape;
        return setup;
    };
    // 14:07 block A dead, block B overdriven; 14:11 block B's tone alone, after its clipped
    // record; 14:20 block A's copy alone, overdriven and made as block B: its channel is the
    // right one.
    const blocksim::Scenario scenario = pairScenario(
        60, {entry(5, true, 7, 2, SampleShape::Zero), entry(6, false, 20, 1, SampleShape::Clipped)},
        60,
        {entry(9, false, 7, 2, SampleShape::Clipped), entry(11, false, 11, 1, SampleShape::Tone)});
    const blocksim::BlockSetup* a = &scenario.blocks[0].setup;
    const blocksim::BlockSetup* b = &scenario.blocks[1].setup;
    const std::string names[] = {"5 Марта 18г 14-07-09 Запись 1.wav",
                                 "5 Марта 18г 14-11-09 Запись 1.wav",
                                 "5 Марта 18г 14-20-09 Запись 1.wav"};
    const std::vector<std::uint8_t> files[] = {expectedWavFile({a, 5}, {b, 9}, 0),
                                               expectedWavFile({}, {b, 11}, 0),
                                               expectedWavFile({}, {a, 6}, 0)};
    const std::pair<Expected, Expected> channels[] = {
        {reckon(files[0], 0, "A"), reckon(files[0], 1, "B")},
        {reckon(files[1], 0, ""), reckon(files[1], 1, "B")},
        {reckon(files[2], 0, ""), reckon(files[2], 1, "A")},
    };
    ASSERT_EQ(channels[0].first.peak, std::nullopt) << "block A's first copy is all zeros";
    ASSERT_GT(channels[0].second.clipped, 0u);
    ASSERT_EQ(channels[1].second.clipped, 0u);

    const CliSimulation blocks(KELVRA_CLI_PATH, KELVRA_BLOCKSIM_PATH, scenario);
    TempFolder folder;
    CliRun run;
    run.arguments = {"download", "--out", folder.path(), "--all"};
    const CliResult result = blocks.run(run);
    EXPECT_EQ(result.status, 0) << result.err;
    const auto share = [](const Expected& channel) {
        char text[16];
        std::snprintf(
            text, sizeof text, "%.1f",
            100.0 * static_cast<double>(channel.clipped) / static_cast<double>(channel.samples));
        return std::to_string(channel.clipped) + " clipped samples (" + text + " %)";
    };
    EXPECT_EQ(warnings(result.err),
              (std::vector<std::string>{
                  "warning: " + names[0] + ": block A's channel is silent",
                  "warning: " + names[0] + ": block B's channel has " + share(channels[0].second),
                  "warning: " + names[2] + ": block A's channel has " + share(channels[2].second),
              }))
        << result.err;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NE(result.out.find("Line " + std::to_string(i + 1) + ": written " + names[i]),
                  std::string::npos)
            << result.out;
        EXPECT_EQ(fileDifference(readFileBytes(folder.file(names[i])), files[i]), "") << names[i];
    }

    std::ifstream manifestFile(folder.file("kelvra-manifest.jsonl"));
    const std::string manifestText{std::istreambuf_iterator<char>(manifestFile), {}};
    const std::vector<Json> manifest = jsonLines(manifestText);
    ASSERT_EQ(manifest.size(), 3u) << manifestText;
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(manifest[i]["file"], names[i]);
        ASSERT_EQ(manifest[i]["channels"].size(), 2u);
        expectChannel(manifest[i]["channels"][0], channels[i].first);
        expectChannel(manifest[i]["channels"][1], channels[i].second);
    }

    // The same download again, elsewhere, with --json: each written line carries what the
    // manifest notes of its file.
    TempFolder again;
    run.arguments = {"download", "--out", again.path(), "--all", "--json"};
    const CliResult json = blocks.run(run);
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(warnings(json.err).size(), 3u) << json.err;
    const std::vector<Json> lines = jsonLines(json.out);
    ASSERT_EQ(lines.size(), 3u) << json.out;
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i]["status"], "written");
        EXPECT_EQ(lines[i]["channels"], manifest[i]["channels"]) << names[i];
    }
}

}  // namespace
}  // namespace kelvra::test
