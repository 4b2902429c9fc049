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
    EXPECT_EQ(file.commit(name.string(), stampOf(name.string())), CommitResult::Done);
    EXPECT_EQ(readText(name), "RIFFWAVE");
    EXPECT_FALSE(fs::exists(partial));
    EXPECT_TRUE(file.close()) << "closing a closed file";
    EXPECT_EQ(file.commit(name.string(), std::nullopt), CommitResult::Failed)
        << "committing no file";
}

TEST(OutputFileOpen, ToContinueKeepsWhatAnEarlierRunWroteAndGoesOnAtItsEnd) {
    const TempFolder folder;
    const fs::path name = folder.file("record.wav");
    OutputFile file;
    ASSERT_TRUE(file.open(name.string()));
    ASSERT_TRUE(put(file, "RIFFWAVEtorn"));
    ASSERT_TRUE(file.close());

    ASSERT_TRUE(file.openToContinue(name.string()));
    EXPECT_EQ(file.size(), 12u);
    std::string read(4, '\0');
    ASSERT_TRUE(file.readAt(4, reinterpret_cast<std::uint8_t*>(read.data()), read.size()));
    EXPECT_EQ(read, "WAVE");
    EXPECT_FALSE(file.readAt(10, reinterpret_cast<std::uint8_t*>(read.data()), read.size()))
        << "past the end";
    ASSERT_TRUE(file.truncate(8));
    ASSERT_TRUE(file.readAt(0, reinterpret_cast<std::uint8_t*>(read.data()), read.size()));
    EXPECT_TRUE(put(file, "data"));
    EXPECT_EQ(file.commit(name.string(), std::nullopt), CommitResult::Done);
    EXPECT_EQ(readText(name), "RIFFWAVEdata") << "reads leave the writes where they were";
}

TEST(OutputFileCommit, ReplacesNothingButTheVeryFileItWasToldOf) {
    const TempFolder folder;
    const fs::path name = folder.file("record.wav");
    writeText(name, "the user's recording");
    const auto judged = stampOf(name.string());
    ASSERT_TRUE(judged);

    OutputFile file;
    ASSERT_TRUE(file.open(name.string()));
    EXPECT_TRUE(put(file, "RIFF"));
    EXPECT_EQ(file.commit(name.string(), std::nullopt), CommitResult::NameTaken)
        << "a name that had to be free";
    EXPECT_TRUE(file.isOpen());
    // Another program writes the judged file before the commit: it is no longer the one judged.
    writeText(name, "the user's longer recording");
    EXPECT_EQ(file.commit(name.string(), judged), CommitResult::NameTaken);
    EXPECT_EQ(readText(name), "the user's longer recording");

    const fs::path other = folder.file("record (2).wav");
    EXPECT_EQ(file.commit(other.string(), std::nullopt), CommitResult::Done);
    EXPECT_EQ(readText(other), "RIFF");
    EXPECT_FALSE(fs::exists(folder.file("record.wav.part")));
}

class OutputFileRefuses : public ::testing::TestWithParam<Occupant> {};

// Refused at the partial file's name when opened, at the name itself when committed.
TEST_P(OutputFileRefuses, WhatIsNotARegularFileAndLeavesItAsItWas) {
    const TempFolder folder;
    const fs::path name = folder.file("record.wav");
    GetParam().place(name, folder.path());

    OutputFile file;
    if (file.open(name.string())) {
        EXPECT_TRUE(put(file, "RIFF"));
        EXPECT_FALSE(stampOf(name.string())) << "judged replaceable";
        EXPECT_EQ(file.commit(name.string(), std::nullopt), CommitResult::NameTaken);
        EXPECT_TRUE(file.close());
    }
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
