#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "platform/file/AppendFile.h"
#include "tests/support/FileFixtures.h"
#include "tests/support/TempFolder.h"

namespace kelvra::platform {
namespace {

namespace fs = std::filesystem;

using test::readText;

TEST(AppendLine, CreatesTheFileThenAppendsEachLine) {
    const test::TempFolder folder;
    const fs::path file = folder.file("журнал.jsonl");
    EXPECT_TRUE(appendLine(file.string(), R"({"file":"a.wav"})"));
    EXPECT_TRUE(appendLine(file.string(), "второй"));
    EXPECT_EQ(readText(file), "{\"file\":\"a.wav\"}\nвторой\n");
}

TEST(AppendLine, LinesOfTwoWritersStayWhole) {
    const test::TempFolder folder;
    const fs::path file = folder.file("shared");
    const std::string lineA(5000, 'A');
    const std::string lineB(5000, 'B');
    const auto writer = [&](const std::string& line) {
        for (int i = 0; i < 100; ++i) {
            EXPECT_TRUE(appendLine(file.string(), line));
        }
    };
    std::thread first(writer, lineA);
    writer(lineB);
    first.join();
    std::istringstream lines(readText(file));
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        // A writer that looks at the end while the other's line is still going out takes it
        // for one cut short and ends it first: an empty line, which readers skip.
        if (!line.empty()) {
            ASSERT_TRUE(line == lineA || line == lineB) << "line " << count << " is torn";
            ++count;
        }
    }
    EXPECT_EQ(count, 200);
}

}  // namespace
}  // namespace kelvra::platform
