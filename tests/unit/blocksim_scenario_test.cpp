#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tools/blocksim/SampleGenerator.h"
#include "tools/blocksim/Scenario.h"

namespace kelvra::test {
namespace {

using blocksim::ScenarioError;

const std::filesystem::path kScenarios = KELVRA_SCENARIO_DIR;

std::string errorOf(const std::string& json) {
    try {
        blocksim::parseScenario(json);
    } catch (const ScenarioError& error) {
        return error.what();
    }
    return "accepted";
}

// A valid block with one entry, and more members for the block and for the entry.
std::string blockWith(const std::string& blockFields, const std::string& entryFields = "") {
    return R"({"blocks": [{"com": 3, "serialYear": 18, "serialNumber": 42, "firmware": 60,
               "role": "A", "entries": [{"address": 1, "time": "2018-03-05 14:07:09",
               "sampleRate": 8000, "duration": 2)" +
           entryFields + "}]" + blockFields + "}]}";
}

TEST(Scenario, ReadsEveryField) {
    const blocksim::Scenario scenario = blocksim::parseScenario(R"({"blocks": [
      {"com": 12, "serialYear": 19, "serialNumber": 513, "firmware": 42, "role": "B",
       "service": true,
       "entries": [
         {"address": 9, "time": "2018-03-05 14:07:09", "sampleRate": 21333, "duration": 120},
         {"address": 10, "records": 7, "lead": 254, "entryInfo": [1, 2, 3, 4], "role": "A",
          "timeBcd": [255, 90, 1, 2, 3, 4], "setting1": [5, 6, 7, 8],
          "setting2": [9, 10, 11, 12], "sampleRate": 0, "duration": 65535}],
       "sessions": [{"status": 255, "number": 12, "time": "2018-06-21 09:15:30", "value": 513},
                    {"bytes": [1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,
                               25,26,27,28,29,30,31,32]}],
       "faults": {"silent": true, "shortParams": 3,
                  "acks": [{"exchange": "sector", "reply": "wrong", "byte": 85, "after": 2,
                            "times": 1},
                           {"exchange": "clock", "reply": "missing"}],
                  "unplug": {"afterSectors": 20, "forMs": 3000, "otherSlot": true},
                  "line": [{"kind": "drop", "after": 30, "offset": 0},
                           {"kind": "insert", "after": 0, "byte": 255},
                           {"kind": "cut", "after": 4, "offset": 511},
                           {"kind": "garbage", "after": 7, "count": 64, "byte": 0},
                           {"kind": "flip", "after": 2, "offset": 9, "bit": 7}]}}]})");
    ASSERT_EQ(scenario.blocks.size(), 1u);
    EXPECT_EQ(scenario.blocks[0].com, 12);
    const blocksim::BlockSetup& setup = scenario.blocks[0].setup;
    EXPECT_EQ(setup.serialYear, 19);
    EXPECT_EQ(setup.serialNumber, 513);
    EXPECT_EQ(setup.firmware, 42);
    EXPECT_FALSE(setup.roleA);
    EXPECT_TRUE(setup.service);

    ASSERT_EQ(setup.entries.size(), 2u);
    const blocksim::EntrySetup& plain = setup.entries[0];
    EXPECT_EQ(plain.address, 9);
    EXPECT_EQ(plain.lead, 1);
    EXPECT_EQ(plain.recordCount, 1);
    EXPECT_FALSE(plain.roleA) << "an entry is made in its block's role unless told";
    EXPECT_EQ(plain.time, (blocksim::BcdDateTime{0x09, 0x07, 0x14, 0x05, 0x03, 0x18}));
    const blocksim::EntrySetup& raw = setup.entries[1];
    EXPECT_EQ(raw.recordCount, 7);
    EXPECT_EQ(raw.lead, 254);
    EXPECT_TRUE(raw.roleA);
    EXPECT_EQ(raw.entryInfo, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(raw.time, (blocksim::BcdDateTime{255, 90, 1, 2, 3, 4}));
    EXPECT_EQ(raw.setting2, (std::array<std::uint8_t, 4>{9, 10, 11, 12}));
    EXPECT_EQ(raw.sampleRate, 0);
    EXPECT_EQ(raw.duration, 65535);

    ASSERT_EQ(setup.sessions.size(), 2u);
    EXPECT_EQ(setup.sessions[0][0], 255);
    EXPECT_EQ(setup.sessions[0][1], 12);
    EXPECT_EQ(setup.sessions[0][8], 0x30);
    EXPECT_EQ(setup.sessions[0][13], 0x18);
    EXPECT_EQ(setup.sessions[0][28], 0x01);
    EXPECT_EQ(setup.sessions[0][29], 0x02);
    EXPECT_EQ(setup.sessions[1][31], 32);

    EXPECT_TRUE(setup.faults.silent);
    EXPECT_EQ(setup.faults.shortParams, 3);
    const auto& sector = setup.faults.ack(blocksim::Exchange::Sector);
    ASSERT_TRUE(sector);
    EXPECT_EQ(sector->kind, blocksim::AckFault::Kind::Wrong);
    EXPECT_EQ(sector->byte, 85);
    EXPECT_EQ(sector->after, 2u);
    EXPECT_EQ(sector->times, 1u);
    ASSERT_TRUE(setup.faults.ack(blocksim::Exchange::Clock));
    EXPECT_EQ(setup.faults.ack(blocksim::Exchange::Clock)->kind, blocksim::AckFault::Kind::Missing);
    ASSERT_TRUE(setup.faults.unplug);
    EXPECT_EQ(setup.faults.unplug->afterSectors, 20u);
    EXPECT_EQ(setup.faults.unplug->forMs, 3000u);
    EXPECT_TRUE(setup.faults.unplug->otherSlot);
    using blocksim::LineFault;
    ASSERT_EQ(setup.faults.line.size(), 5u);
    const LineFault& drop = setup.faults.line[0];
    EXPECT_EQ(drop.kind, LineFault::Kind::Drop);
    EXPECT_EQ(drop.afterSectors, 30u);
    EXPECT_EQ(drop.offset, 0);
    const LineFault& insert = setup.faults.line[1];
    EXPECT_EQ(insert.kind, LineFault::Kind::Insert);
    EXPECT_EQ(insert.offset, 256) << "the default";
    EXPECT_EQ(insert.byte, 255);
    EXPECT_EQ(setup.faults.line[2].kind, LineFault::Kind::Cut);
    EXPECT_EQ(setup.faults.line[2].offset, 511);
    const LineFault& garbage = setup.faults.line[3];
    EXPECT_EQ(garbage.kind, LineFault::Kind::Garbage);
    EXPECT_EQ(garbage.afterSectors, 7u);
    EXPECT_EQ(garbage.count, 64);
    EXPECT_EQ(garbage.byte, 0);
    EXPECT_EQ(setup.faults.line[4].kind, LineFault::Kind::Flip);
    EXPECT_EQ(setup.faults.line[4].bit, 7);
}

TEST(Scenario, ErrorsNameTheField) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{", "not valid JSON"},
        {"[]", ": expected an object"},
        {R"({"blocks": []})", "blocks: expected an array of 1..29 blocks"},
        {R"({"blocks": [{}], "extra": 1})", "extra: unknown field"},
        {R"({"blocks": [{"serialYear": 18}]})", "blocks[0].com: required field missing"},
        {R"({"blocks": [{"com": 30}]})", "blocks[0].com: expected an integer 1..29"},
        {blockWith(R"(, "colour": 1)"), "blocks[0].colour: unknown field"},
        {blockWith("", R"(, "sampleRate": 70000)"),
         "blocks[0].entries[0].sampleRate: expected an integer 0..65535"},
        {blockWith("", R"(, "records": -1)"),
         "blocks[0].entries[0].records: expected an integer 0..255"},
        {blockWith("", R"(, "records": 1.5)"),
         "blocks[0].entries[0].records: expected an integer 0..255"},
        {blockWith("", R"(, "role": "C")"), "blocks[0].entries[0].role: expected \"A\" or \"B\""},
        {blockWith("", R"(, "setting1": [1, 2, 3])"),
         "blocks[0].entries[0].setting1: expected an array of 4 integers 0..255"},
        {blockWith("", R"(, "timeBcd": [0, 0, 0, 1, 1, 18])"),
         "blocks[0].entries[0].timeBcd: give either time or timeBcd, not both"},
        {blockWith(R"(, "sessions": [{"bytes": [1]}])"),
         "blocks[0].sessions[0].bytes: expected an array of 32 integers 0..255"},
        {blockWith(R"(, "faults": {"acks": [{"exchange": "bye", "reply": "wrong"}]})"),
         "blocks[0].faults.acks[0].exchange: expected one of hello"},
        {blockWith(R"(, "faults": {"acks": [{"exchange": "hello", "reply": "wrong"}]})"),
         "blocks[0].faults.acks[0].byte: required field missing"},
        {blockWith(R"(, "faults": {"shortParams": 7})"),
         "blocks[0].faults.shortParams: expected an integer 0..6"},
        {blockWith(R"(, "faults": {"unplug": {"afterSectors": 0, "forMs": 10}})"),
         "blocks[0].faults.unplug.afterSectors: expected an integer 1..4294967295"},
        {blockWith(R"(, "faults": {"line": {"kind": "drop"}})"),
         "blocks[0].faults.line: expected an array of line faults"},
        {blockWith(R"(, "faults": {"line": [{"kind": "bend", "after": 0}]})"),
         "blocks[0].faults.line[0].kind: expected \"drop\", \"insert\", \"cut\", \"garbage\" or "
         "\"flip\""},
        {blockWith(R"(, "faults": {"line": [{"kind": "drop"}]})"),
         "blocks[0].faults.line[0].after: required field missing"},
        {blockWith(R"(, "faults": {"line": [{"kind": "cut", "after": 1, "offset": 512}]})"),
         "blocks[0].faults.line[0].offset: expected an integer 0..511"},
        {blockWith(R"(, "faults": {"line": [{"kind": "drop", "after": 1, "byte": 1}]})"),
         "blocks[0].faults.line[0].byte: only insert and garbage have a byte"},
        {blockWith(R"(, "faults": {"line": [{"kind": "insert", "after": 1, "byte": 256}]})"),
         "blocks[0].faults.line[0].byte: expected an integer 0..255"},
        {blockWith(R"(, "faults": {"line": [{"kind": "garbage", "after": 1, "offset": 1}]})"),
         "blocks[0].faults.line[0].offset: garbage has no offset"},
        {blockWith(R"(, "faults": {"line": [{"kind": "garbage", "after": 1, "count": 0}]})"),
         "blocks[0].faults.line[0].count: expected an integer 1..64"},
        {blockWith(R"(, "faults": {"line": [{"kind": "insert", "after": 1, "count": 2}]})"),
         "blocks[0].faults.line[0].count: only garbage has a count"},
        {blockWith(R"(, "faults": {"line": [{"kind": "flip", "after": 1, "bit": 8}]})"),
         "blocks[0].faults.line[0].bit: expected an integer 0..7"},
        {blockWith(R"(, "faults": {"line": [{"kind": "drop", "after": 1, "bit": 0}]})"),
         "blocks[0].faults.line[0].bit: only flip has a bit"},
    };
    for (const auto& [json, message] : cases) {
        const std::string error = errorOf(json);
        EXPECT_NE(error.find(message), std::string::npos)
            << "json: " << json << "\nerror: " << error << "\nwanted: " << message;
    }

    EXPECT_EQ(errorOf(R"({"blocks": [{"com": 1, "serialYear": 1, "serialNumber": 1, "firmware": 60,
                          "role": "A"}, {"com": 1, "serialYear": 1, "serialNumber": 2,
                          "firmware": 60, "role": "B"}]})"),
              "blocks[1].com: COM1 is used by an earlier block");
    EXPECT_EQ(errorOf(R"({"blocks": [{"com": 1, "serialYear": 1, "serialNumber": 1, "firmware": 60,
                          "role": "A", "entries": [
                          {"address": 4, "time": "2018-01-01 00:00:00", "sampleRate": 1,
                           "duration": 1},
                          {"address": 4, "time": "2018-13-01 00:00:00", "sampleRate": 1,
                           "duration": 1}]}]})"),
              "blocks[0].entries[1].time: expected a date and time \"YYYY-MM-DD HH:MM:SS\", "
              "year 2000..2099");
}

TEST(Scenario, AnEntrysSamplesAreItsOwnShapeElseItsBlocks) {
    const auto shapes = [](const std::string& json) {
        const blocksim::Scenario scenario = blocksim::parseScenario(json);
        std::vector<blocksim::SampleShape> found;
        for (const auto& entry : scenario.blocks[0].setup.entries) {
            found.push_back(entry.samples);
        }
        return found;
    };
    using enum blocksim::SampleShape;
    EXPECT_EQ(shapes(blockWith("")), std::vector{Tone});
    EXPECT_EQ(shapes(blockWith(R"(, "samples": "zero")")), std::vector{Zero});
    EXPECT_EQ(shapes(blockWith(R"(, "samples": "zero")", R"(, "samples": "clipped")")),
              std::vector{Clipped});
    EXPECT_EQ(shapes(blockWith("", R"(, "samples": "tone")")), std::vector{Tone});
    EXPECT_NE(errorOf(blockWith(R"(, "samples": "loud")"))
                  .find("blocks[0].samples: expected \"tone\", \"zero\" or \"clipped\""),
              std::string::npos);
    EXPECT_NE(errorOf(blockWith("", R"(, "samples": 1)"))
                  .find("blocks[0].entries[0].samples: expected \"tone\""),
              std::string::npos);
}

TEST(Scenario, LoadNamesTheFileThatCannotBeRead) {
    const std::string missing = (kScenarios / "no-such.json").string();
    try {
        blocksim::loadScenario(missing);
        FAIL() << "a missing file was accepted";
    } catch (const ScenarioError& error) {
        EXPECT_EQ(std::string(error.what()), missing + ": cannot be read");
    }
}

TEST(Scenario, ShippedPairHasBothRolesAndMergingRecords) {
    const blocksim::Scenario pair = blocksim::loadScenario((kScenarios / "pair.json").string());
    ASSERT_EQ(pair.blocks.size(), 2u);
    const blocksim::BlockSetup& a = pair.blocks[0].setup;
    const blocksim::BlockSetup& b = pair.blocks[1].setup;
    EXPECT_TRUE(a.roleA);
    EXPECT_FALSE(b.roleA);
    int shared = 0;
    for (const blocksim::BlockSetup* setup : {&a, &b}) {
        EXPECT_GE(setup->firmware, 60);
        for (const blocksim::EntrySetup& entry : setup->entries) {
            EXPECT_LE(blocksim::recordByteCount(*setup, entry), 10u * 65535 * 2)
                << "records of a few seconds";
        }
    }
    for (const blocksim::EntrySetup& fromA : a.entries) {
        for (const blocksim::EntrySetup& fromB : b.entries) {
            shared += fromA.time == fromB.time && fromA.recordCount == fromB.recordCount &&
                      fromA.sampleRate == fromB.sampleRate && fromA.duration == fromB.duration;
        }
    }
    EXPECT_GE(shared, 2) << "recordings made by both blocks at once";
}

TEST(Scenario, ShippedStreamModesCoverEveryMode) {
    const blocksim::Scenario modes =
        blocksim::loadScenario((kScenarios / "stream-modes.json").string());
    std::set<blocksim::StreamMode> seen;
    for (const blocksim::ScenarioBlock& block : modes.blocks) {
        seen.insert(blocksim::streamModeFor(block.setup.firmware));
    }
    EXPECT_EQ(seen, (std::set<blocksim::StreamMode>{blocksim::StreamMode::Basic,
                                                    blocksim::StreamMode::SingleSectors,
                                                    blocksim::StreamMode::Batches}));
}

}  // namespace
}  // namespace kelvra::test
