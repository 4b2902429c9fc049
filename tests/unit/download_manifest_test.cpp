// A folder's manifest as input: whatever it holds, reading it ends, stays within bounds and
// never leads outside the folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cli/Commands.h"
#include "download/DownloadManifest.h"
#include "download/PlainFileName.h"
#include "platform/hash/Sha256.h"
#include "tests/support/FileFixtures.h"
#include "tests/support/TempFolder.h"

namespace kelvra {
namespace {

namespace fs = std::filesystem;

using test::readText;
using test::writeText;

ManifestEntry entryOf(const std::string& file, const std::string& sha256 = std::string(64, '0')) {
    ManifestEntry entry;
    entry.file = file;
    entry.size = 4;
    entry.sha256 = sha256;
    entry.record.time = "2018-03-05T14:07:09";
    entry.record.recordNo = 1;
    entry.record.sampleRate = 8000;
    entry.record.duration = 1;
    entry.record.entryInfo = "01020304";
    entry.record.blockA = BlockCopy{18, 42, 60, 5, 1};
    return entry;
}

std::vector<std::string> names(const DownloadManifest& manifest) {
    std::vector<std::string> found;
    for (const auto& [name, entry] : manifest.entries()) {
        found.push_back(name);
    }
    return found;
}

TEST(PlainFileName, TakesOnlyANameThatStaysAFileOfItsOwnInTheFolder) {
    const std::pair<const char*, std::string> refused[] = {
        {"parent folder", "../a.wav"},
        {"subfolder", "sub/a.wav"},
        {"backslash", "..\\a.wav"},
        {"dot", "."},
        {"dot dot", ".."},
        {"NUL inside", std::string("a.wav\0zzz", 9)},
        {"escape", "a\x1b[2J.wav"},
        {"delete", "a\x7f.wav"},
        {"trailing dot", "a.wav."},
        {"trailing space", "a.wav "},
        {"stream", "a.wav:hidden"},
        {"drive", "C:a.wav"},
        {"NUL", "NUL"},
        {"nul.wav", "nul.wav"},
        {"COM1 .wav", "COM1 .wav"},
        {"lpt9.x.wav", "lpt9.x.wav"},
        {"Con.wav", "Con.wav"},
        {"PRN.wav", "PRN.wav"},
        {"aux", "aux"},
        {"empty", ""},
    };
    for (const auto& [label, name] : refused) {
        EXPECT_FALSE(isPlainFileName(name)) << label;
    }
    for (const char* name : {"5 Марта 18г 14-07-09 Запись 1 (2).wav", "COM10.wav", "CONSOLE.wav",
                             "LPT0.wav", "nul-recording.wav", ".hidden.wav", "a..b.wav"}) {
        EXPECT_TRUE(isPlainFileName(name)) << name;
    }
}

TEST(DownloadManifest, LinesThatCannotStandForAFileOfTheFolderAreReportedAndIgnored) {
    const test::TempFolder folder;
    const std::string lines[] = {
        manifestLine(entryOf("a.wav")),
        R"({"file":"b.wav","x":)" + std::string(30000, '[') + std::string(30000, ']') + "}",
        R"({"file":"c.wav","x":")" + std::string(kMaxManifestLineBytes, 'x') + R"("})",
        manifestLine(entryOf(std::string("a.wav\0zzz", 9))),
        manifestLine(entryOf("../a.wav")),
        "not json",
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    writeText(folder.file(kManifestFileName), text);

    const DownloadManifest manifest = DownloadManifest::load(folder.path().string());
    EXPECT_EQ(names(manifest), std::vector<std::string>{"a.wav"});
    EXPECT_EQ(manifest.error(), "");
    EXPECT_EQ(manifest.unreadable(),
              (std::vector<std::string>{
                  "kelvra-manifest.jsonl line 2: nested deeper than 32 levels, ignored",
                  "kelvra-manifest.jsonl line 3: longer than 64 KiB, ignored",
                  "kelvra-manifest.jsonl line 4: its file is not a plain name in the folder, not "
                  "usable, ignored",
                  "kelvra-manifest.jsonl line 5: its file is not a plain name in the folder, not "
                  "usable, ignored",
                  "kelvra-manifest.jsonl line 6: not an entry, ignored",
              }));
}

TEST(DownloadManifest, AFileOutsideTheFolderIsNeitherHashedNorTakenForTheRecord) {
    const test::TempFolder root;
    const fs::path folder = root.path() / "downloads";
    fs::create_directory(folder);
    writeText(root.path() / "outside.wav", "RIFF");
    const ManifestEntry outside =
        entryOf("../outside.wav", *platform::sha256OfFile((root.path() / "outside.wav").string()));
    writeText(folder / kManifestFileName, manifestLine(outside) + "\n");

    const DownloadManifest manifest = DownloadManifest::load(folder.string());
    EXPECT_TRUE(manifest.entries().empty());
    EXPECT_EQ(intactFileOf(folder.string(), manifest, outside.record), std::nullopt);

    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int status = cli::runVerify(folder.string(), false);
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("line 1: its file is not a plain name"), std::string::npos) << err;
}

TEST(DownloadManifest, ALineCutShortIsEndedBeforeTheNextEntry) {
    const test::TempFolder folder;
    const std::string torn = manifestLine(entryOf("b.wav")).substr(0, 40);
    writeText(folder.file(kManifestFileName), manifestLine(entryOf("a.wav")) + "\n" + torn);

    std::string failure;
    ASSERT_TRUE(DownloadManifest::append(folder.path().string(), entryOf("c.wav"), &failure))
        << failure;
    EXPECT_EQ(readText(folder.file(kManifestFileName)), manifestLine(entryOf("a.wav")) + "\n" +
                                                            torn + "\n" +
                                                            manifestLine(entryOf("c.wav")) + "\n");
    const DownloadManifest manifest = DownloadManifest::load(folder.path().string());
    EXPECT_EQ(names(manifest), (std::vector<std::string>{"a.wav", "c.wav"}));
    EXPECT_EQ(manifest.unreadable(),
              std::vector<std::string>{"kelvra-manifest.jsonl line 2: not an entry, ignored"});

    // A whole last line gets no empty one after it.
    ASSERT_TRUE(DownloadManifest::append(folder.path().string(), entryOf("d.wav")));
    EXPECT_TRUE(readText(folder.file(kManifestFileName))
                    .ends_with("}\n" + manifestLine(entryOf("d.wav")) + "\n"));
}

TEST(DownloadManifest, ASizeAbove4GiBIsKeptExact) {
    ManifestEntry entry = entryOf("a.wav");
    entry.size = (std::uint64_t{5} << 30) + 112;
    const std::string line = manifestLine(entry);
    EXPECT_NE(line.find("\"size\":5368709232,"), std::string::npos) << line;
    const auto parsed = parseManifestLine(line);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->size, entry.size);
}

TEST(DownloadManifest, AnEntryWhoseHashCouldNotBeComputedIsNotAppended) {
    const test::TempFolder folder;
    std::string failure;
    EXPECT_FALSE(DownloadManifest::append(folder.path().string(), entryOf("a.wav", ""), &failure));
    EXPECT_EQ(failure, "its SHA-256 could not be computed");
    EXPECT_FALSE(fs::exists(folder.file(kManifestFileName)));
}

TEST(DownloadManifest, AManifestTooLargeOrNoFileIsNotReadAndSaysWhy) {
    const test::TempFolder folder;
    const fs::path name = folder.file(kManifestFileName);
    writeText(name, manifestLine(entryOf("a.wav")) + "\n");
    fs::resize_file(name, kMaxManifestBytes + 1);
    const DownloadManifest large = DownloadManifest::load(folder.path().string());
    EXPECT_TRUE(large.entries().empty());
    EXPECT_EQ(large.error(), "kelvra-manifest.jsonl: larger than 64 MiB, not read");
    EXPECT_EQ(large.unreadable(), std::vector<std::string>{large.error()});

    fs::remove(name);
    fs::create_directory(name);
    EXPECT_EQ(DownloadManifest::load(folder.path().string()).error(),
              "kelvra-manifest.jsonl: not a regular file (a link, FIFO, device or folder), not "
              "read");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(cli::runVerify(folder.path().string(), false), 1);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "kelvra-manifest.jsonl: not a regular file (a link, FIFO, device or folder), not "
              "read\n");
    std::string failure;
    EXPECT_FALSE(DownloadManifest::append(folder.path().string(), entryOf("a.wav"), &failure));
    EXPECT_NE(failure, "");
    EXPECT_TRUE(fs::is_empty(name));
}

TEST(DownloadManifest, ChannelsGoThroughALineAndOlderOrMalformedOnesAreTold) {
    ManifestEntry entry = entryOf("a.wav");
    FileChannels channels;
    channels[0].block = 'B';
    channels[0].levels.peakDbfs = -0.004;
    channels[0].levels.rmsDbfs = -9.0356;
    channels[0].levels.clipped = 540;
    channels[0].levels.silent = false;
    entry.channels = channels;
    const std::string line = manifestLine(entry);
    EXPECT_TRUE(line.ends_with(
        R"("recoveries":0,"channels":[{"block":"B","peakDbfs":0.00,"rmsDbfs":-9.04,"clipped":540,)"
        R"("silent":false},{"block":null,"peakDbfs":null,"rmsDbfs":null,"clipped":0,)"
        R"("silent":true}]})"))
        << line;
    const auto read = parseManifestLine(line);
    ASSERT_TRUE(read && read->channels);
    const FileChannels& back = *read->channels;
    EXPECT_EQ(back[0].block, 'B');
    EXPECT_EQ(back[0].levels.peakDbfs, 0.0);
    EXPECT_EQ(back[0].levels.rmsDbfs, -9.04);
    EXPECT_EQ(back[0].levels.clipped, 540u);
    EXPECT_FALSE(back[0].levels.silent);
    EXPECT_EQ(back[1].block, std::nullopt);
    EXPECT_EQ(back[1].levels.peakDbfs, std::nullopt);
    EXPECT_EQ(back[1].levels.rmsDbfs, std::nullopt);
    EXPECT_TRUE(back[1].levels.silent);

    const std::string older = manifestLine(entryOf("a.wav"));
    ASSERT_TRUE(parseManifestLine(older));
    EXPECT_EQ(parseManifestLine(older)->channels, std::nullopt);
    // Each time one member of the left channel is spoiled; one channel alone is no pair.
    const std::string start = line.substr(0, line.find(R"("channels")"));
    const std::string right =
        R"({"block":null,"peakDbfs":null,"rmsDbfs":null,"clipped":0,"silent":true})";
    EXPECT_FALSE(parseManifestLine(start + R"("channels":[)" + right + "]}"));
    EXPECT_FALSE(parseManifestLine(start + R"("channels":{"block":"A"}})"));
    for (const char* left : {
             R"({"block":"C","peakDbfs":null,"rmsDbfs":null,"clipped":0,"silent":true})",
             R"({"block":"","peakDbfs":null,"rmsDbfs":null,"clipped":0,"silent":true})",
             R"({"peakDbfs":null,"rmsDbfs":null,"clipped":0,"silent":true})",
             R"({"block":"A","peakDbfs":"-3","rmsDbfs":null,"clipped":0,"silent":true})",
             R"({"block":"A","peakDbfs":null,"clipped":0,"silent":true})",
             R"({"block":"A","peakDbfs":null,"rmsDbfs":null,"clipped":-1,"silent":true})",
             R"({"block":"A","peakDbfs":null,"rmsDbfs":null,"clipped":0,"silent":1})",
         }) {
        EXPECT_FALSE(parseManifestLine(start + R"("channels":[)" + left + "," + right + "]}"))
            << left;
    }
    EXPECT_TRUE(parseManifestLine(start + R"("channels":[)" + right + "," + right + "]}"));
}

}  // namespace
}  // namespace kelvra
