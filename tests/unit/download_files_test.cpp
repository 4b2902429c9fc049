#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "cli/Commands.h"
#include "download/DownloadManifest.h"
#include "download/WavFormat.h"
#include "link/LinkBytes.h"
#include "tests/support/ExpectedWav.h"
#include "tests/support/StationFixture.h"
#include "tests/support/WavExpectation.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

const std::string kName = "5 Марта 18г 14-07-09 Запись 1.wav";
const std::string kName2 = "5 Марта 18г 14-07-09 Запись 1 (2).wav";
const std::string kName3 = "5 Марта 18г 14-07-09 Запись 1 (3).wav";
constexpr std::uint32_t kChannelBytes = 16000;  // 8000 samples per second, 1 s

// What a download leaves in its folder, through the window and through the command line run in
// this process against the same simulated blocks.
class DownloadFiles : public test::StationFixture {
protected:
    void SetUp() override {
        driver.onFolderPicker(
            [this](std::string_view) -> std::optional<std::string> { return folderText(); });
    }

    std::string folderText() const { return folder.path().string(); }

    void place(blocksim::BlockSetup a, blocksim::BlockSetup b, int comA = 3, int comB = 4) {
        setupA = std::move(a);
        setupB = std::move(b);
        addBlock(comA, setupA);
        addBlock(comB, setupB);
        if (!window) {
            start();
        }
        tick(2);
    }

    void downloadInWindow(const std::vector<int>& lines) {
        for (int line : lines) {
            ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, line));
        }
        ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
        ASSERT_TRUE(driver.runUntilWorkersEnd());
    }

    // One tick of the recovery timer, ten virtual seconds after the last, the heartbeat between.
    void recoveryTick() {
        tick(9);
        clock.advance(1000);
        ASSERT_TRUE(driver.fireTimer(*window, kRecoveryTimer));
        ASSERT_TRUE(driver.runUntilWorkersEnd());
    }

    // The window lets go of the ports, as when the user closes it, so the command line can have
    // them.
    void closeWindow() {
        driver.finish(*window);
        window.reset();
    }

    int cli(const std::function<int()>& command) {
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        const int status = command();
        out = ::testing::internal::GetCapturedStdout();
        err = ::testing::internal::GetCapturedStderr();
        return status;
    }

    int cliDownload(std::vector<int> lines, bool skipExisting, bool verify = false) {
        cli::DownloadRequest request;
        request.folder = folderText();
        request.all = lines.empty();
        request.lines = std::move(lines);
        request.skipExisting = skipExisting;
        request.verify = verify;
        return cli([&] { return cli::runDownload(backend, clock, cli::systemPace(), request); });
    }

    Bytes samples(const std::string& name) {
        const Bytes data = test::readFileBytes(folder.file(name));
        EXPECT_EQ(data.size(), kWavHeaderSize + 2 * kChannelBytes) << name;
        return data.size() < kWavHeaderSize ? Bytes{}
                                            : Bytes(data.begin() + kWavHeaderSize, data.end());
    }

    bool sentAny(int com, std::uint8_t command) {
        const Bytes sent = takeReceived(com);
        return std::find(sent.begin(), sent.end(), command) != sent.end();
    }

    // Batch requests for more than one sector: records read, not samples of them. Only
    // greetings, listings and batch requests are expected.
    int batchesOfMoreThanOneSector(int com) {
        const Bytes sent = takeReceived(com);
        int batches = 0;
        for (std::size_t i = 0; i + 5 < sent.size(); ++i) {
            if (sent[i] == 0x13) {
                batches += sent[i + 5] > 1 ? 1 : 0;
                i += 5;
            }
        }
        return batches;
    }

    // Block A made three entries under one date and time (its clock was reset between them).
    static blocksim::BlockSetup resetClockBlock() {
        auto a = block(18, 42, 60, true);
        a.entries = {entry(5, 1, true, 7), entry(6, 1, true, 7), entry(7, 1, true, 7)};
        return a;
    }

    test::TempFolder folder;
    blocksim::BlockSetup setupA;
    blocksim::BlockSetup setupB;
    std::string out;
    std::string err;
};

TEST_F(DownloadFiles, ALineKeepsItsTableNameWhateverElseIsSelected) {
    place(resetClockBlock(), block(18, 43, 60, false));
    ASSERT_EQ(listLines().size(), 3u);
    downloadInWindow({1});
    EXPECT_EQ(folder.fileNames(), std::vector<std::string>{kName2});
    closeWindow();

    // Line 1 alone, then all three with the others already there: nothing is read twice and no
    // file takes another line's data.
    ASSERT_EQ(cliDownload({1}, true), 0) << err;
    ASSERT_EQ(cliDownload({}, true), 0) << err;
    EXPECT_NE(out.find("Line 1: skipped " + kName), std::string::npos) << out;
    EXPECT_NE(out.find("Line 2: skipped " + kName2), std::string::npos) << out;
    EXPECT_NE(out.find("Line 3: written " + kName3), std::string::npos) << out;
    const std::string names[3] = {kName, kName2, kName3};
    for (std::uint8_t line = 0; line < 3; ++line) {
        EXPECT_TRUE(
            samples(names[line]) ==
            test::expectedSampleData({&setupA, std::uint8_t(5 + line)}, {}, 0, kChannelBytes))
            << names[line];
    }
}

TEST_F(DownloadFiles, ANewSessionUnderAnOldNameIsReadAndNeverReplacesTheOldFile) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    place(a, block(18, 43, 60, false));
    downloadInWindow({0});
    const Bytes earlier = samples(kName);

    // The blocks were cleared and their clocks reset: the new record has the old one's date,
    // time, number and length, in another entry.
    backend.unplug(port(3));
    backend.unplug(port(4));
    auto again = block(18, 42, 60, true);
    again.entries = {entry(8, 1, true, 7)};
    place(again, block(18, 43, 60, false), 5, 6);
    ASSERT_EQ(listLines().size(), 1u);
    closeWindow();

    ASSERT_EQ(cliDownload({}, true), 0) << err;
    EXPECT_NE(out.find("Line 1: written " + kName2), std::string::npos) << out;
    EXPECT_EQ(samples(kName), earlier) << "the earlier recording's only copy was replaced";
    EXPECT_TRUE(samples(kName2) == test::expectedSampleData({&setupA, 8}, {}, 0, kChannelBytes));
    EXPECT_EQ(DownloadManifest::load(folderText()).entries().size(), 2u);
}

TEST_F(DownloadFiles, LinesMovedOnByAnotherRecordsFileEachGetAFileOfTheirOwn) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    place(a, block(18, 43, 60, false));
    downloadInWindow({0});
    const Bytes earlier = samples(kName);

    // Two new entries under the old one's date and time: the table names them kName and
    // kName2, and the first moves on past the other record's file and the second's name.
    backend.unplug(port(3));
    backend.unplug(port(4));
    auto again = block(18, 42, 60, true);
    again.entries = {entry(6, 1, true, 7), entry(7, 1, true, 7)};
    place(again, block(18, 43, 60, false), 5, 6);
    ASSERT_EQ(listLines().size(), 2u);
    closeWindow();

    ASSERT_EQ(cliDownload({}, false), 0) << err;
    EXPECT_NE(out.find("Line 1: written " + kName3), std::string::npos) << out;
    EXPECT_NE(out.find("Line 2: written " + kName2), std::string::npos) << out;
    EXPECT_EQ(samples(kName), earlier);
    EXPECT_TRUE(samples(kName3) == test::expectedSampleData({&setupA, 6}, {}, 0, kChannelBytes));
    EXPECT_TRUE(samples(kName2) == test::expectedSampleData({&setupA, 7}, {}, 0, kChannelBytes));
}

TEST_F(DownloadFiles, AFileOfOtherBlocksWithTheSameEntryIsKept) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    auto b = block(18, 43, 60, false);
    b.entries = {entry(9, 1, false, 7)};
    place(a, b);
    downloadInWindow({0});
    const Bytes earlier = samples(kName);

    // Another pair of blocks, whose entry has the same time, number, length and bytes.
    backend.unplug(port(3));
    backend.unplug(port(4));
    auto otherA = block(18, 44, 60, true);
    otherA.entries = a.entries;
    auto otherB = block(18, 45, 60, false);
    otherB.entries = b.entries;
    place(otherA, otherB, 5, 6);
    closeWindow();

    ASSERT_EQ(cliDownload({}, true), 0) << err;
    EXPECT_NE(out.find("Line 1: written " + kName2 + " (" + kName + " holds another record)"),
              std::string::npos)
        << out;
    EXPECT_EQ(samples(kName), earlier) << "the other blocks' recording was replaced";
    EXPECT_TRUE(samples(kName2) ==
                test::expectedSampleData({&setupA, 5}, {&setupB, 9}, 0, kChannelBytes));
}

TEST_F(DownloadFiles, AFileNoManifestKnowsAndAFileOfMoreCopiesAreNeverReplaced) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    auto b = block(18, 43, 60, false);
    b.entries = {entry(9, 1, false, 7)};
    place(a, b);
    closeWindow();
    std::ofstream(folder.file(kName), std::ios::binary) << "the user's own file";
    ASSERT_EQ(cliDownload({}, false), 0) << err;
    EXPECT_NE(out.find("Line 1: written " + kName2 + " (" + kName + " is not in " +
                       kManifestFileName + " and was kept)"),
              std::string::npos)
        << out;
    const Bytes stereo = samples(kName2);
    EXPECT_TRUE(stereo == test::expectedSampleData({&setupA, 5}, {&setupB, 9}, 0, kChannelBytes));

    // Block B is away: its read holds block A's copy alone, and the stereo file stays.
    backend.unplug(port(4));
    ASSERT_EQ(cliDownload({}, false), 0) << err;
    EXPECT_NE(out.find("Line 1: written " + kName3), std::string::npos) << out;
    const std::string own = "the user's own file";
    EXPECT_TRUE(test::readFileBytes(folder.file(kName)) == Bytes(own.begin(), own.end()));
    EXPECT_EQ(samples(kName2), stereo) << "block B's channel was replaced by silence";
    EXPECT_TRUE(samples(kName3) == test::expectedSampleData({&setupA, 5}, {}, 0, kChannelBytes));

    // A read with every copy the file holds may replace it.
    addBlock(6, b);
    ASSERT_EQ(cliDownload({}, false), 0) << err;
    EXPECT_NE(out.find("Line 1: written " + kName2), std::string::npos) << out;
}

TEST_F(DownloadFiles, AnInterruptedRedownloadLeavesTheCompleteFileAndNamesThePartialOne) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7, 8000, 3)};
    auto b = block(18, 43, 60, false);
    b.entries = {entry(9, 1, false, 7, 8000, 3)};
    place(a, b);
    downloadInWindow({0});
    const Bytes complete = test::readFileBytes(folder.file(kName));
    ASSERT_EQ(complete.size(), kWavHeaderSize + 2 * 48000u);

    backend.withModel(port(4), [](blocksim::BlockModel& model) {
        model.armUnplug(blocksim::UnplugFault{60, 3600000, false});
    });
    // The line is still selected from the first download.
    ASSERT_EQ(window->GetListBox(IDC_RECORD_LIST).GetSelCount(), 1);
    ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
    ASSERT_TRUE(driver.runUntilWorkersEnd());
    for (int tries = 0; tries < 6 && driver.messageBoxes().empty(); ++tries) {
        recoveryTick();
    }
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(test::readFileBytes(folder.file(kName)), complete);
    const Bytes partial = test::readFileBytes(folder.file(kName + ".part"));
    ASSERT_GT(partial.size(), kWavHeaderSize);
    EXPECT_LT(partial.size(), complete.size());
    EXPECT_TRUE(Bytes(complete.begin(), complete.begin() + static_cast<long>(partial.size())) ==
                partial);
}

TEST_F(DownloadFiles, ARestartThatFailsAtTheSamePlaceEveryTimeEndsWithTheMessage) {
    auto a = block(18, 42, 70, true);  // basic stream: every failure restarts the record
    a.entries = {entry(5, 1, true, 7)};
    a.faults.ack(blocksim::Exchange::Sector) = blocksim::AckFault{};  // 0x00 in place of 0x0E
    auto b = block(18, 43, 70, false);
    b.entries = {entry(9, 1, false, 7)};
    place(a, b);
    downloadInWindow({0});
    for (int tries = 0; tries < 12 && driver.messageBoxes().empty(); ++tries) {
        recoveryTick();
    }
    ASSERT_EQ(driver.messageBoxes().size(), 1u) << "the record restarts for ever";
    EXPECT_EQ(driver.messageBoxes()[0].text, "Unable to read communication port");
    EXPECT_FALSE(window->download().job().recoveryPending);
    EXPECT_FALSE(fs::exists(folder.file(kName)));
}

TEST_F(DownloadFiles, TheWindowsFilesPassVerifyAndAreSkippedUntilOneChanges) {
    place(resetClockBlock(), block(18, 43, 60, false));
    downloadInWindow({0, 1, 2});
    closeWindow();

    ASSERT_EQ(cli([&] { return cli::runVerify(folderText(), false); }), 0) << out << err;
    takeReceived(3);
    ASSERT_EQ(cliDownload({}, true), 0) << err;
    EXPECT_EQ(batchesOfMoreThanOneSector(3), 0) << "a record the folder holds intact was read";

    {
        std::fstream file(folder.file(kName2), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(kWavHeaderSize + 100));
        file.put('\x7F');
    }
    fs::remove(folder.file(kName3));
    std::ofstream(folder.file("stranger.wav")) << "not ours";
    EXPECT_EQ(cli([&] { return cli::runVerify(folderText(), false); }), 1);
    EXPECT_NE(out.find("ok       " + kName), std::string::npos) << out;
    EXPECT_NE(out.find("changed  " + kName2), std::string::npos) << out;
    EXPECT_NE(out.find("missing  " + kName3), std::string::npos) << out;
    EXPECT_NE(out.find("unknown  stranger.wav"), std::string::npos) << out;

    // The changed file may be someone's edit, or a forged line may give it to the record: it
    // is kept, and the record is read beside it.
    const std::string kName4 = "5 Марта 18г 14-07-09 Запись 1 (4).wav";
    ASSERT_EQ(cliDownload({}, true), 0) << err;
    EXPECT_NE(out.find("Line 2: written " + kName4 + " (" + kName2 +
                       " has changed since it was downloaded and was kept)"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("Line 3: written " + kName3), std::string::npos) << out;
    EXPECT_TRUE(samples(kName4) == test::expectedSampleData({&setupA, 6}, {}, 0, kChannelBytes));
    EXPECT_EQ(cli([&] { return cli::runVerify(folderText(), false); }), 1) << out;
    EXPECT_NE(out.find("changed  " + kName2), std::string::npos) << out;
    EXPECT_NE(out.find("ok       " + kName4), std::string::npos) << out;
}

TEST_F(DownloadFiles, AFileMadeWithoutABlockIsReadAgainOnceTheBlockIsBack) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    auto b = block(18, 43, 60, false);
    b.entries = {entry(9, 1, false, 7)};
    setupA = a;
    setupB = b;
    addBlock(3, a);
    start();
    tick(2);
    closeWindow();
    ASSERT_EQ(cliDownload({}, true), 0) << err;
    EXPECT_NE(err.find("Block B is not present: its channel of every file is silent"),
              std::string::npos)
        << err;

    addBlock(4, b);
    ASSERT_EQ(cliDownload({}, true), 0) << err;
    EXPECT_NE(out.find("Line 1: written " + kName), std::string::npos) << out;
    EXPECT_TRUE(samples(kName) ==
                test::expectedSampleData({&setupA, 5}, {&setupB, 9}, 0, kChannelBytes));
}

TEST_F(DownloadFiles, AGuardedClearSendsNothingUntilEveryRecordIsInTheFolder) {
    place(resetClockBlock(), block(18, 43, 60, false));
    closeWindow();
    ASSERT_EQ(cliDownload({1, 2}, false), 0) << err;
    takeReceived(3);
    takeReceived(4);
    EXPECT_EQ(cli([&] { return cli::runClear(backend, clock, true, folderText()); }), 1);
    EXPECT_NE(err.find("Line 3: " + kName3 + " is not in"), std::string::npos) << err;
    EXPECT_FALSE(sentAny(3, 0x04));
    EXPECT_FALSE(sentAny(4, 0x04));

    ASSERT_EQ(cliDownload({3}, false), 0) << err;
    ASSERT_EQ(cli([&] { return cli::runClear(backend, clock, true, folderText()); }), 0) << err;
    EXPECT_TRUE(sentAny(3, 0x04));
    EXPECT_TRUE(sentAny(4, 0x04));
}

TEST_F(DownloadFiles, AFileThatCannotBeMadeIsNamedWithTheReason) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    place(a, block(18, 43, 60, false));
    closeWindow();
    fs::create_directory(folder.file(kName + ".part"));
    EXPECT_EQ(cliDownload({}, false), 1);
    // The folder and the name are joined with the system's own separator.
    EXPECT_NE(out.find("Line 1: failed " + kName + " (Unable to create file: " + folderText()),
              std::string::npos)
        << out;
    // With the system's reason, in its own words.
    const std::size_t reason = out.find(kName + ": ");
    ASSERT_NE(reason, std::string::npos) << out;
    EXPECT_NE(out[reason + kName.size() + 2], ')') << out;
    EXPECT_TRUE(fs::is_directory(folder.file(kName + ".part")))
        << "what was at the name is left as it was";
}

TEST_F(DownloadFiles, AFileWhoseManifestLineIsRefusedIsWrittenAndTheJobGoesOn) {
    place(resetClockBlock(), block(18, 43, 60, false));
    fs::create_directory(folder.file(kManifestFileName));
    downloadInWindow({1});
    EXPECT_EQ(folder.fileNames(), std::vector<std::string>{kName2});
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_TRUE(driver.messageBoxes()[0].text.starts_with(
        kName2 + " written, but not recorded in kelvra-manifest.jsonl: "))
        << driver.messageBoxes()[0].text;
    closeWindow();

    EXPECT_EQ(cliDownload({1, 3}, false), 0) << err;
    EXPECT_NE(out.find("Line 1: written " + kName + "\nLine 3: written " + kName3),
              std::string::npos)
        << out;
    EXPECT_NE(err.find("kelvra-manifest.jsonl: not a regular file"), std::string::npos) << err;
    EXPECT_NE(
        err.find("Line 3: " + kName3 + " written, but not recorded in kelvra-manifest.jsonl: "),
        std::string::npos)
        << err;
    EXPECT_EQ(folder.fileNames(), (std::vector<std::string>{kName2, kName3, kName}));
}

TEST_F(DownloadFiles, CheckedReadsEndByteExactWhenABitArrivedFlipped) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7)};
    auto b = block(18, 43, 60, false);
    b.entries = {entry(9, 1, false, 7)};
    place(a, b);
    closeWindow();
    const Bytes expected = test::expectedSampleData({&setupA, 5}, {&setupB, 9}, 0, kChannelBytes);
    blocksim::LineFault flip;
    flip.kind = blocksim::LineFault::Kind::Flip;
    flip.afterSectors = 10;
    flip.offset = 100;
    flip.bit = 3;

    // The link cannot tell: a single read is written and reported as whole.
    backend.armLineFault(port(3), flip);
    ASSERT_EQ(cliDownload({}, false), 0) << err;
    EXPECT_FALSE(samples(kName) == expected);

    backend.armLineFault(port(3), flip);
    ASSERT_EQ(cliDownload({}, false, true), 0) << err;
    EXPECT_TRUE(samples(kName) == expected);
    EXPECT_EQ(cli([&] { return cli::runVerify(folderText(), false); }), 0) << out;

    // A second read that differs from the first confirms nothing: a third one decides.
    flip.afterSectors = 32 + 10;  // the record has 32 sectors
    backend.armLineFault(port(3), flip);
    takeReceived(3);
    ASSERT_EQ(cliDownload({}, false, true), 0) << err;
    EXPECT_TRUE(samples(kName) == expected);
    const Bytes sent = takeReceived(3);
    // A whole batch from the record's start; the content check before the job asks for one.
    const Bytes fromTheStart{0x13, 5, 0, 0, 0, 20};
    int reads = 0;
    for (auto at = sent.begin();
         (at = std::search(at, sent.end(), fromTheStart.begin(), fromTheStart.end())) != sent.end();
         ++at) {
        ++reads;
    }
    EXPECT_EQ(reads, 3);
}

TEST_F(DownloadFiles, EveryRecordOfFullBlocksIsListedAndReadInSeveralJobs) {
    // Two full directories whose records were not made together: 328 lines, more than the
    // window's 320 and than two jobs of 160.
    auto a = block(18, 42, 60, true);
    auto b = block(18, 43, 60, false);
    for (std::uint8_t address = 0; address < 41; ++address) {
        a.entries.push_back(entry(address, 4, true, address, 256, 1));
        b.entries.push_back(entry(std::uint8_t(100 + address), 4, false, address, 256, 1));
        b.entries.back().time = blocksim::bcdDateTime(2018, 3, 5, 15, address, 9);
    }
    place(a, b);
    closeWindow();
    ASSERT_EQ(cli([&] { return cli::runList(backend, clock, false); }), 0) << err;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 328);
    ASSERT_EQ(cliDownload({}, false), 0) << err;
    EXPECT_EQ(folder.fileNames().size(), 328u);
    for (const int line : {0, 159, 160, 327}) {
        const bool fromA = line < 164;
        const auto entryIndex = static_cast<std::uint8_t>((fromA ? line : line - 164) / 4);
        const auto record = static_cast<std::uint8_t>(line % 4);
        char name[96];
        std::snprintf(name, sizeof name, "5 Марта 18г %d-%02d-09 Запись %d.wav", fromA ? 14 : 15,
                      entryIndex, record + 1);
        const Bytes data = test::readFileBytes(folder.file(name));
        ASSERT_EQ(data.size(), kWavHeaderSize + 1024u) << name;
        const test::ChannelSource source =
            fromA ? test::ChannelSource{&setupA, entryIndex}
                  : test::ChannelSource{&setupB, std::uint8_t(100 + entryIndex)};
        EXPECT_TRUE(Bytes(data.begin() + kWavHeaderSize, data.end()) ==
                    test::expectedSampleData(fromA ? source : test::ChannelSource{},
                                             fromA ? test::ChannelSource{} : source, record, 512))
            << name;
    }
}

// --- a record's content, not its directory entry alone ---------------------------------------

struct ReadMode {
    const char* name;
    int firmware;
};

void PrintTo(const ReadMode& mode, std::ostream* out) {
    *out << mode.name;
}

class ContentProof : public DownloadFiles, public ::testing::WithParamInterface<ReadMode> {
protected:
    // Both blocks with one record of three seconds, on new ports, its samples picked by `seed`.
    void serve(int comA, std::uint32_t seed) {
        auto a = block(18, 42, GetParam().firmware, true);
        a.entries = {entry(5, 1, true, 7, 8000, 3)};
        a.entries[0].sampleSeed = seed;
        auto b = block(18, 43, GetParam().firmware, false);
        b.entries = {entry(9, 1, false, 7, 8000, 3)};
        b.entries[0].sampleSeed = seed;
        setupA = a;
        setupB = b;
        addBlock(comA, a);
        addBlock(comA + 1, b);
    }

    void unplugBoth(int comA) {
        backend.unplug(port(comA));
        backend.unplug(port(comA + 1));
    }

    Bytes expectedFile() const { return test::expectedWavFile({&setupA, 5}, {&setupB, 9}, 0); }

    int guardedClear() {
        return cli([&] { return cli::runClear(backend, clock, true, folderText()); });
    }
};

TEST_P(ContentProof, ASameDirectoryWithOtherSamplesIsNeitherClearedNorSkipped) {
    const bool wholeRecordsOnly = GetParam().firmware == 70;
    serve(3, 0);
    ASSERT_EQ(cliDownload({}, false), 0) << err;
    const Bytes earlier = test::readFileBytes(folder.file(kName));
    ASSERT_EQ(test::fileDifference(earlier, expectedFile()), "");
    ASSERT_EQ(cliDownload({}, true), 0) << err;
    EXPECT_NE(out.find("Line 1: skipped " + kName), std::string::npos) << out << err;

    // Cleared and recording again from a reset clock: the directory is byte for byte the old
    // one, the sound is not.
    unplugBoth(3);
    serve(5, 77);
    EXPECT_EQ(guardedClear(), 1);
    EXPECT_NE(err.find("Line 1: " + kName + " does not hold what the blocks hold: " + kName),
              std::string::npos)
        << err;
    EXPECT_FALSE(sentAny(5, 0x04));
    EXPECT_FALSE(sentAny(6, 0x04));

    ASSERT_EQ(cliDownload({}, true), 0) << err;
    EXPECT_EQ(test::readFileBytes(folder.file(kName)), earlier);
    if (wholeRecordsOnly) {
        // Such a block is taken at its directory's word when skipping: a sample would cost the
        // whole record.
        EXPECT_NE(out.find("Line 1: skipped " + kName), std::string::npos) << out;
    } else {
        EXPECT_NE(out.find("Line 1: written " + kName2), std::string::npos) << out << err;
        EXPECT_EQ(test::fileDifference(test::readFileBytes(folder.file(kName2)), expectedFile()),
                  "");
    }

    // The first recording back: its file holds its samples, and the clear goes ahead once a
    // sample arrives whole.
    unplugBoth(5);
    serve(7, 0);
    blocksim::LineFault cut;
    cut.kind = blocksim::LineFault::Kind::Cut;
    // Past the sector that refutes the newer file, which is looked at first.
    cut.afterSectors = wholeRecordsOnly ? 0 : 1;
    backend.armLineFault(port(7), cut);
    EXPECT_EQ(guardedClear(), 1);
    EXPECT_NE(err.find("block A's sector 0 could not be read"), std::string::npos) << err;
    EXPECT_FALSE(sentAny(7, 0x04));
    EXPECT_EQ(guardedClear(), 0) << err;
    EXPECT_TRUE(sentAny(7, 0x04));
    EXPECT_TRUE(sentAny(8, 0x04));
}

TEST_P(ContentProof, AWindowDownloadNeverReplacesAFileOfOtherSamples) {
    serve(3, 0);
    start();
    tick(2);
    downloadInWindow({0});
    const Bytes earlier = test::readFileBytes(folder.file(kName));
    ASSERT_EQ(test::fileDifference(earlier, expectedFile()), "");

    unplugBoth(3);
    serve(5, 77);
    tick(3);
    if (window->GetListBox(IDC_RECORD_LIST).GetSelCount() == 0) {
        ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, 0));
    }
    ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
    ASSERT_TRUE(driver.runUntilWorkersEnd());
    // Samples that cannot be looked at without the whole record keep the file all the same.
    EXPECT_EQ(test::readFileBytes(folder.file(kName)), earlier);
    EXPECT_EQ(test::fileDifference(test::readFileBytes(folder.file(kName2)), expectedFile()), "");
}

INSTANTIATE_TEST_SUITE_P(ReadModes, ContentProof,
                         ::testing::Values(ReadMode{"Batches", 60}, ReadMode{"SingleSectors", 31},
                                           ReadMode{"BasicStream", 70}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(DownloadFiles, AGuardedClearSendsNothingWhenTheDirectoryReadsDifferentlyTwice) {
    auto a = block(18, 42, 60, true);
    a.entries = {entry(5, 1, true, 7), entry(6, 1, true, 8)};
    place(a, block(18, 43, 60, false));
    closeWindow();
    ASSERT_EQ(cliDownload({1}, false), 0) << err;
    takeReceived(3);
    // The second entry's record count arrives as 0 in the first listing: its record, never
    // downloaded, would not be seen.
    backend.withModel(
        port(3), [](blocksim::BlockModel& model) { model.armDirectoryFlip(kDirEntrySize + 1, 0); });
    EXPECT_EQ(cli([&] { return cli::runClear(backend, clock, true, folderText()); }), 1);
    EXPECT_NE(err.find("directories read differently twice"), std::string::npos) << err;
    EXPECT_FALSE(sentAny(3, 0x04));
}

}  // namespace
}  // namespace kelvra
