// What the Win32 file backends refuse that only Windows has at a name: devices, which a name
// like "nul.wav" in any folder reaches, and reparse points. A folder at the name is refused on
// both platforms (tests/unit).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/file/AppendFile.h"
#include "platform/file/OutputFile.h"
#include "platform/hash/Sha256.h"
#include "tests/support/FileFixtures.h"
#include "tests/support/TempFolder.h"

namespace kelvra::platform {
namespace {

namespace fs = std::filesystem;

using test::put;
using test::readText;

TEST(Win32OutputFile, RefusesADeviceAtTheNameAndWritesNoFileForIt) {
    const test::TempFolder folder;
    for (const char* device : {"nul.wav", "NUL", "con.wav", "COM1.wav"}) {
        OutputFile file;
        EXPECT_FALSE(file.open(folder.file(device).string())) << device;
        EXPECT_FALSE(put(file, "RIFF")) << device;
        EXPECT_EQ(file.commit(folder.file(device).string(), std::nullopt), CommitResult::Failed)
            << device;
    }
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(Win32OutputFile, RefusesAReparsePointAtTheNameAndLeavesItAsItWas) {
    const test::TempFolder folder;
    const fs::path victim = folder.file("чужое.wav");
    const fs::path name = folder.file("5 Марта 18г 14-07-09 Запись 1.wav");
    std::ofstream(victim, std::ios::binary) << "someone's data";
    ASSERT_TRUE(CreateSymbolicLinkW(name.c_str(), victim.c_str(),
                                    SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE));
    const DWORD attributes = GetFileAttributesW(name.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "no link was made";
    ASSERT_NE(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u);

    OutputFile file;
    ASSERT_TRUE(file.open(name.string())) << "the partial file's name is free";
    EXPECT_FALSE(stampOf(name.string())) << "judged replaceable";
    EXPECT_EQ(file.commit(name.string(), std::nullopt), CommitResult::NameTaken);
    EXPECT_TRUE(file.close());
    EXPECT_FALSE(appendLine(name.string(), "line"));
    EXPECT_EQ(sha256OfFile(name.string()), std::nullopt);
    EXPECT_EQ(readText(victim), "someone's data");
    EXPECT_NE(GetFileAttributesW(name.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
}

TEST(Win32AppendFile, RefusesADeviceAndAFolder) {
    const test::TempFolder folder;
    EXPECT_FALSE(appendLine(folder.file("nul.jsonl").string(), "line"));
    EXPECT_FALSE(appendLine(folder.path().string(), "line"));
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(Win32Sha256OfFile, RefusesADeviceAndAFolder) {
    const test::TempFolder folder;
    EXPECT_EQ(sha256OfFile(folder.file("nul.wav").string()), std::nullopt);
    EXPECT_EQ(sha256OfFile(folder.path().string()), std::nullopt);
}

// Open exclusively: while a record is written, nobody else can open, replace or remove its
// partial file, so what commit moves to the name is what was written.
TEST(Win32OutputFile, HoldsThePartialFileForItselfUntilCommitted) {
    const test::TempFolder folder;
    const fs::path name = folder.file("Запись 1.wav");
    const fs::path partial = folder.file("Запись 1.wav.part");
    OutputFile file;
    ASSERT_TRUE(file.open(name.string()));
    ASSERT_TRUE(put(file, "RIFF"));
    const HANDLE other = CreateFileW(partial.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(partial.c_str()));
    EXPECT_FALSE(MoveFileW(partial.c_str(), folder.file("elsewhere.wav").c_str()));
    ASSERT_EQ(file.commit(name.string(), std::nullopt), CommitResult::Done);
    EXPECT_EQ(readText(name), "RIFF");
    EXPECT_FALSE(fs::exists(partial));
}

// A player that has the old file open without sharing its deletion holds up its replacement
// for a moment, not the download.
TEST(Win32OutputFile, WaitsForAProgramThatHoldsTheFileItReplaces) {
    const test::TempFolder folder;
    const fs::path name = folder.file("Запись 1.wav");
    std::ofstream(name, std::ios::binary) << "older";
    const auto judged = stampOf(name.string());
    ASSERT_TRUE(judged);
    const HANDLE player = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(player, INVALID_HANDLE_VALUE);
    std::thread letGo([player] {
        Sleep(500);
        CloseHandle(player);
    });
    OutputFile file;
    ASSERT_TRUE(file.open(name.string()));
    ASSERT_TRUE(put(file, "RIFF"));
    EXPECT_EQ(file.commit(name.string(), judged), CommitResult::Done) << file.failure();
    letGo.join();
    EXPECT_EQ(readText(name), "RIFF");
}

}  // namespace
}  // namespace kelvra::platform
