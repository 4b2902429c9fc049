#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file/OutputFile.h"
#include "tests/support/FileFixtures.h"
#include "tests/support/TempFolder.h"

namespace kelvra::platform {
namespace {

namespace fs = std::filesystem;

using test::caseName;
using test::Occupant;
using test::put;
using test::readText;
using test::writeText;

using test::TempFolder;

TEST(OutputFileOpen, ReplacesAFileAtTheNameOnlyWithAWholeOne) {
    const TempFolder folder;
    const fs::path name = folder.file("record.wav");
    const fs::path partial = folder.file("record.wav.part");
    writeText(name, "an older and much longer recording");

    OutputFile file;
    ASSERT_TRUE(file.open(name.string()));
    EXPECT_TRUE(put(file, "RIFF"));
    EXPECT_TRUE(file.close()) << "left unfinished";
    EXPECT_EQ(readText(name), "an older and much longer recording");
    EXPECT_EQ(readText(partial), "RIFF");

    // A partial file left by an earlier try is begun anew, and lands only when committed.
    ASSERT_TRUE(file.open(name.string()));
    EXPECT_TRUE(put(file, "RIFFWAVE"));
    EXPECT_TRUE(file.commit());
    EXPECT_EQ(readText(name), "RIFFWAVE");
    EXPECT_FALSE(fs::exists(partial));
    EXPECT_TRUE(file.close()) << "closing a closed file";
    EXPECT_FALSE(file.commit()) << "committing no file";
}

class OutputFileRefuses : public ::testing::TestWithParam<Occupant> {};

TEST_P(OutputFileRefuses, WhatIsNotARegularFileAndLeavesItAsItWas) {
    const TempFolder folder;
    const fs::path name = folder.file("record.wav");
    GetParam().place(name, folder.path());

    OutputFile file;
    EXPECT_FALSE(file.open(name.string()));
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(put(file, "RIFF"));
    GetParam().expectUntouched(name, folder.path());
}

INSTANTIATE_TEST_SUITE_P(
    AtTheName, OutputFileRefuses,
    ::testing::Values(Occupant{"HardLinkToAnotherFile",
                               [](const fs::path& name, const fs::path& folder) {
                                   writeText(folder / "victim", "someone's data");
                                   fs::create_hard_link(folder / "victim", name);
                               },
                               [](const fs::path& name, const fs::path& folder) {
                                   EXPECT_EQ(readText(folder / "victim"), "someone's data");
                                   // Still one file under two names (Windows counts no links).
                                   writeText(folder / "victim", "changed");
                                   EXPECT_EQ(readText(name), "changed");
                               }},
                      Occupant{"PartialNameLinkedToAnotherFile",
                               [](const fs::path& name, const fs::path& folder) {
                                   writeText(folder / "victim", "someone's data");
                                   fs::create_hard_link(folder / "victim", name.string() + ".part");
                               },
                               [](const fs::path&, const fs::path& folder) {
                                   EXPECT_EQ(readText(folder / "victim"), "someone's data");
                               }},
                      Occupant{"Directory",
                               [](const fs::path& name, const fs::path&) {
                                   fs::create_directory(name);
                                   writeText(name / "inside", "kept");
                               },
                               [](const fs::path& name, const fs::path&) {
                                   EXPECT_EQ(readText(name / "inside"), "kept");
                               }}),
    caseName<Occupant>);

}  // namespace
}  // namespace kelvra::platform
