#include <gtest/gtest.h>

#include "cli/Commands.h"
#include "cli/ProgressReport.h"
#include "cli/RecordText.h"
#include "cli/UsageErrors.h"
#include "tests/support/StationFixture.h"

namespace kelvra::cli {
namespace {

TEST(SinceMoment, TakesRealDatesOnlyAndSaysWhatIsWrong) {
    const struct {
        const char* text;
        const char* error;  // empty: taken
    } cases[] = {
        {"2018-03-05", ""},
        {"2018-03-05T14:07", ""},
        {"2018-03-05T14:07:09", ""},
        {"2020-02-29", ""},
        {"2018-02-29", "2018-02 has 28 days"},
        {"2018-02-31", "2018-02 has 28 days"},
        {"2018-04-31", "2018-04 has 30 days"},
        {"2018-03-32", "2018-03 has 31 days"},
        {"2018-13-01", "there is no month 13"},
        {"1999-12-31", "blocks keep dates from 2000-01-01 to 2099-12-31"},
        {"2100-01-01", "blocks keep dates from 2000-01-01 to 2099-12-31"},
        {"2018-03-05T24:00", "not a time of day"},
        {"", "empty; expected YYYY-MM-DD"},
        {"05.03.2018", "not a date; expected YYYY-MM-DD"},
        {"2018-03-05T14", "not a date"},
        {"2018-03-05 14:07", "not a date"},
        {"2018-03-05T14:07:09Z", "not a date"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedMoment parsed = parseMoment(c.text);
        EXPECT_EQ(parsed.moment.has_value(), std::string(c.error).empty());
        EXPECT_EQ(parsed.error.substr(0, std::string(c.error).size()), c.error) << parsed.error;
    }
    EXPECT_LT(*parseMoment("2018-02-28T23:59:59").moment, *parseMoment("2018-03-01").moment);
}

TEST(UsageMessages, NameWhatWasTypedAndWhatToDo) {
    const std::vector<std::string> commands = {"ports", "list", "download"};
    EXPECT_EQ(unknownFirstWord({"frobnicate"}, commands),
              "frobnicate: no such command; the commands are ports, list, download "
              "(kelvra-cli --help tells more)");
    EXPECT_NE(unknownFirstWord({"-v"}, commands)->find("-v: no such option"), std::string::npos);
    EXPECT_FALSE(unknownFirstWord({"list", "--json"}, commands));
    EXPECT_FALSE(unknownFirstWord({"--version"}, commands));

    EXPECT_EQ(usageMessage("ConversionError", "Could not convert: LINE = o2,1", commands),
              "LINE: 'o2,1' is not a number; give line numbers as kelvra-cli list prints them, "
              "separated by spaces");
    EXPECT_EQ(
        usageMessage("ArgumentMismatch", "--since: At Most 1 required but received 2", commands),
        "--since is given more than once: give it once");
    EXPECT_EQ(usageMessage("ArgumentMismatch", "--out: 1 required TEXT missing", commands),
              "--out needs a value after it");
    EXPECT_EQ(usageMessage("ExcludesError", "--all excludes LINE", commands),
              "--all and LINE cannot go together: give one of them");
}

TEST(ProgressLine, FitsTheTerminalCountingCharactersNotBytes) {
    const std::string name = "5 Марта 18г 14-07-09 Запись 1.wav";
    EXPECT_EQ(fitToColumns(name, 100), name);
    EXPECT_EQ(fitToColumns(name, 7), "5 Марта");
    EXPECT_EQ(fitToColumns(name, 0), "");
}

// The command line's station commands in this process, against simulated blocks.
class StationCommand : public test::StationFixture {
protected:
    int run(const std::function<int()>& command) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int status = command();
        out = ::testing::internal::GetCapturedStdout();
        err = ::testing::internal::GetCapturedStderr();
        return status;
    }

    std::string out;
    std::string err;
};

TEST_F(StationCommand, ClearSaysWhichBlockWasClearedAndWhichWasNotThere) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    addBlock(3, a);
    ASSERT_EQ(run([&] { return runClear(backend, clock, true, ""); }), 0) << err;
    EXPECT_NE(out.find("Block A (S/N 2018-042) cleared"), std::string::npos) << out;
    EXPECT_NE(out.find("Block B was not present: its memory was not cleared"), std::string::npos)
        << out;
}

TEST_F(StationCommand, DeleteNamesTheEntryItRemovedAndTheFirstLineOfAnother) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 2, true, 7), entry(6, 1, true, 9)};
    auto b = block(18, 43, 60, false);
    b.entries = {entry(9, 2, false, 7), entry(10, 1, false, 9)};
    addBlock(3, a);
    addBlock(4, b);
    EXPECT_EQ(run([&] { return runDelete(backend, clock, 2, true); }), 2);
    EXPECT_NE(err.find("Line 2 is record 2 of an entry: entries are deleted by their first "
                       "record's line, here line 1"),
              std::string::npos)
        << err;
    ASSERT_EQ(run([&] { return runDelete(backend, clock, 1, true); }), 0) << err;
    EXPECT_NE(out.find("Deleted the entry of 2018-03-05T14:07:09 with 2 records (line 1); 1 "
                       "records left"),
              std::string::npos)
        << out;
}

}  // namespace
}  // namespace kelvra::cli
