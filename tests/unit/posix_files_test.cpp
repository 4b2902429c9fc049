// What the POSIX file backends refuse or report that only POSIX has: symbolic links (which
// only an administrator makes on Windows), FIFOs, and a folder renamed or removed under an open
// file. The Windows backends' own cases are in tests/win32/.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "download/DownloadManifest.h"
#include "platform/file/AppendFile.h"
#include "platform/file/OutputFile.h"
#include "platform/hash/Sha256.h"
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
using namespace std::chrono_literals;

using test::TempFolder;

// Opens `name`; should the open still wait after five seconds, a reader comes to the FIFO
// there so that it returns, and `stuck` tells the test it had to.
bool openWithWatchdog(OutputFile& file, const fs::path& name, bool& stuck) {
    std::mutex mutex;
    std::condition_variable changed;
    bool returned = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (changed.wait_for(lock, 5s, [&] { return returned; })) {
            return;
        }
        stuck = true;
        const int reader = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        changed.wait(lock, [&] { return returned; });
        if (reader >= 0) {
            ::close(reader);
        }
    });
    const bool opened = file.open(name.string());
    {
        std::lock_guard lock(mutex);
        returned = true;
    }
    changed.notify_all();
    watchdog.join();
    return opened;
}

class PosixOutputFileRefuses : public ::testing::TestWithParam<Occupant> {};

TEST_P(PosixOutputFileRefuses, WhatIsNotARegularFileAndLeavesItAsItWas) {
    const TempFolder folder;
    const fs::path name = folder.path() / "record.wav";
    GetParam().place(name, folder.path());

    OutputFile file;
    bool stuck = false;
    if (openWithWatchdog(file, name, stuck)) {
        EXPECT_TRUE(put(file, "RIFF"));
        EXPECT_FALSE(stampOf(name.string())) << "judged replaceable";
        EXPECT_EQ(file.commit(name.string(), std::nullopt), CommitResult::NameTaken);
        EXPECT_TRUE(file.close());
    }
    EXPECT_FALSE(stuck) << "the open waited for a reader";
    EXPECT_FALSE(put(file, "RIFF"));
    GetParam().expectUntouched(name, folder.path());
}

// What may stand at a file's name in a shared folder that is not a regular file of its own.
std::vector<Occupant> notRegularFiles() {
    return {
        Occupant{"LinkToAnotherFile",
                 [](const fs::path& name, const fs::path& folder) {
                     writeText(folder / "victim", "someone's data");
                     fs::create_symlink(folder / "victim", name);
                 },
                 [](const fs::path& name, const fs::path& folder) {
                     EXPECT_EQ(readText(folder / "victim"), "someone's data");
                     EXPECT_TRUE(fs::is_symlink(name));
                 }},
        Occupant{"LinkToAMissingFile",
                 [](const fs::path& name, const fs::path& folder) {
                     fs::create_symlink(folder / "planted", name);
                 },
                 [](const fs::path&, const fs::path& folder) {
                     EXPECT_FALSE(fs::exists(folder / "planted"));
                 }},
        Occupant{"Fifo",
                 [](const fs::path& name, const fs::path&) {
                     ASSERT_EQ(::mkfifo(name.c_str(), 0644), 0);
                 },
                 [](const fs::path& name, const fs::path&) {
                     EXPECT_TRUE(fs::is_fifo(fs::symlink_status(name)));
                 }},
    };
}

INSTANTIATE_TEST_SUITE_P(AtTheName, PosixOutputFileRefuses, ::testing::ValuesIn(notRegularFiles()),
                         caseName<Occupant>);

// Loads the manifest of `folder`; should that still be going after five seconds, a writer comes
// to the FIFO at `name` and goes, so that it ends, and `stuck` tells the test it had to.
DownloadManifest loadWithWatchdog(const fs::path& folder, const fs::path& name, bool& stuck) {
    std::mutex mutex;
    std::condition_variable changed;
    bool returned = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!changed.wait_for(lock, 5s, [&] { return returned; })) {
            stuck = true;
            const int writer = ::open(name.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0) {
                ::close(writer);
            }
        }
    });
    DownloadManifest manifest = DownloadManifest::load(folder.string());
    {
        std::lock_guard lock(mutex);
        returned = true;
    }
    changed.notify_all();
    watchdog.join();
    return manifest;
}

class PosixManifestRefuses : public ::testing::TestWithParam<Occupant> {};

TEST_P(PosixManifestRefuses, WhatIsNotARegularFileWithoutWaitingOrReadingIt) {
    const TempFolder folder;
    const fs::path name = folder.path() / kManifestFileName;
    GetParam().place(name, folder.path());

    bool stuck = false;
    const DownloadManifest manifest = loadWithWatchdog(folder.path(), name, stuck);
    EXPECT_FALSE(stuck) << "the manifest's open waited for a writer";
    EXPECT_TRUE(manifest.entries().empty());
    EXPECT_EQ(manifest.error(),
              "kelvra-manifest.jsonl: not a regular file (a link, FIFO, device or folder), not "
              "read");
    std::string failure;
    EXPECT_FALSE(DownloadManifest::append(folder.path().string(), ManifestEntry{}, &failure));
    EXPECT_NE(failure, "");
    GetParam().expectUntouched(name, folder.path());
}

INSTANTIATE_TEST_SUITE_P(
    AtTheName, PosixManifestRefuses, ::testing::ValuesIn([] {
        std::vector<Occupant> occupants = notRegularFiles();
        occupants.push_back(Occupant{
            "LinkToEndlessZeros",
            [](const fs::path& name, const fs::path&) { fs::create_symlink("/dev/zero", name); },
            [](const fs::path& name, const fs::path&) { EXPECT_TRUE(fs::is_symlink(name)); }});
        return occupants;
    }()),
    caseName<Occupant>);

// What may happen to the file's folder or name while a record is being downloaded.
struct Disturbance {
    const char* name;
    bool fromCurrentDirectory;  // opened by a relative name, as after choosing the folder
    std::function<void(const fs::path& folder, const fs::path& name)> apply;
};

void PrintTo(const Disturbance& disturbance, std::ostream* out) {
    *out << disturbance.name;
}

class OutputFileClose : public ::testing::TestWithParam<Disturbance> {
protected:
    void SetUp() override { startDirectory_ = fs::current_path(); }
    void TearDown() override { fs::current_path(startDirectory_); }

private:
    fs::path startDirectory_;
};

TEST_P(OutputFileClose, ReportsAFileNoLongerFoundAtItsPath) {
    const TempFolder root;
    const fs::path folder = root.path() / "downloads";
    fs::create_directory(folder);
    const fs::path name = folder / "record.wav";
    std::string opened = name.string();
    if (GetParam().fromCurrentDirectory) {
        fs::current_path(folder);
        opened = "record.wav";
    }

    OutputFile file;
    ASSERT_TRUE(file.open(opened));
    EXPECT_TRUE(put(file, "RIFF"));
    GetParam().apply(folder, name);
    EXPECT_EQ(file.commit(name.string(), std::nullopt), CommitResult::Failed);
    EXPECT_FALSE(fs::exists(name)) << "a file that was lost in the writing took the name";
    EXPECT_FALSE(file.isOpen());
}

INSTANTIATE_TEST_SUITE_P(
    WhileWriting, OutputFileClose,
    ::testing::Values(Disturbance{"FolderRemoved", false,
                                  [](const fs::path& folder, const fs::path&) {
                                      fs::remove_all(folder);
                                  }},
                      Disturbance{"FolderRenamed", false,
                                  [](const fs::path& folder, const fs::path&) {
                                      fs::rename(folder, folder.parent_path() / "elsewhere");
                                  }},
                      Disturbance{"CurrentFolderRenamed", true,
                                  [](const fs::path& folder, const fs::path&) {
                                      fs::rename(folder, folder.parent_path() / "elsewhere");
                                  }},
                      Disturbance{"NameGivenToAnotherFile", false,
                                  [](const fs::path& folder, const fs::path& name) {
                                      const fs::path partial = name.string() + ".part";
                                      fs::rename(partial, folder / "moved.wav");
                                      writeText(partial, "RIFF");
                                  }}),
    caseName<Disturbance>);

// A file system's largest file (FAT's 4 GiB) answers EFBIG, as a process's file size limit does.
TEST(OutputFileWrite, AWritePastTheLargestFileFailsAndSaysWhy) {
    const TempFolder folder;
    OutputFile file;
    ASSERT_TRUE(file.open(folder.file("record.wav").string()));
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit low{4096, saved.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &low), 0);
    // The second write is cut short at 4096 bytes, and what is left of it finds no room.
    const bool written[] = {put(file, std::string(3000, 'x')), put(file, std::string(3000, 'x'))};
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_TRUE(written[0]);
    EXPECT_FALSE(written[1]) << "a write cut short was taken for a whole one";
    EXPECT_EQ(file.failure(), std::strerror(EFBIG));
}

TEST(AppendLine, RefusesALinkAFifoAndAFolderLeavingThemAsTheyWere) {
    const TempFolder folder;
    const fs::path target = folder.path() / "target";
    std::ofstream(target, std::ios::binary) << "kept\n";
    fs::create_symlink(target, folder.path() / "link");
    fs::create_symlink(folder.path() / "absent", folder.path() / "dangling");
    ASSERT_EQ(::mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
    for (const char* refused : {"link", "dangling", "fifo", "."}) {
        EXPECT_FALSE(appendLine((folder.path() / refused).string(), "line")) << refused;
    }
    EXPECT_EQ(readText(target), "kept\n");
    EXPECT_FALSE(fs::exists(folder.path() / "absent"));
}

TEST(Sha256OfFile, RefusesALinkAndAFifo) {
    const TempFolder folder;
    const fs::path file = folder.path() / "Запись 1.wav";
    writeText(file, "RIFF");
    fs::create_symlink(file, folder.path() / "link");
    ASSERT_EQ(::mkfifo((folder.path() / "fifo").c_str(), 0600), 0);
    for (const char* refused : {"link", "fifo"}) {
        EXPECT_EQ(sha256OfFile((folder.path() / refused).string()), std::nullopt) << refused;
    }
}

}  // namespace
}  // namespace kelvra::platform
