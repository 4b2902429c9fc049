#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "download/WavFormat.h"
#include "tests/support/StationFixture.h"
#include "tests/support/WavExpectation.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Entries of 8000 x 3 s: 94 sectors, four batches of 20 and one of 14. Blocks that serve
// single sectors are older ones whose records are all 21333 x 120 s.
struct Mode {
    const char* name;
    int firmware;
    std::uint32_t channelBytes;
};
constexpr Mode kBatches{"Batches", 60, 8000 * 3 * 2};
constexpr Mode kSingleSectors{"SingleSectors", 31, 21333 * 120 * 2};
constexpr Mode kBasicStream{"BasicStream", 70, 8000 * 3 * 2};
const char* const kFile = "5 Марта 18г 14-07-09 Запись 1.wav";

struct Position {
    const char* name;
    std::uint32_t sector;  // counted back from the record's last sector with fromEnd
    bool fromEnd = false;
};

struct FaultKind {
    blocksim::LineFault::Kind kind;
    const char* name;
    std::uint8_t byte = 0x5A;  // Insert, Garbage
};

// Test names and their listings show the case, not the bytes of its parameters.
void PrintTo(const Mode& mode, std::ostream* out) {
    *out << mode.name;
}
void PrintTo(const FaultKind& kind, std::ostream* out) {
    *out << kind.name;
}
void PrintTo(const Position& position, std::ostream* out) {
    *out << position.name;
}

// Pseudo-terminals hand every byte over at once; a USB adapter (16 ms latency timer, which the
// download asks to lower) in packets, so that a stray byte can come after the check for it.
struct Line {
    const char* name;
    std::optional<std::uint32_t> adapterLatencyMs;
};
void PrintTo(const Line& line, std::ostream* out) {
    *out << line.name;
}

using LineFaultCase = std::tuple<Line, Mode, FaultKind, Position, bool>;

// A byte lost, added, a reply cut short or noise after an acknowledgement, on either block
// and anywhere in a batch or a record: the job either ends with the file the blocks hold,
// or says it failed. A corrupted file with a normal end is what must never happen.
class LineFaults : public test::StationFixture,
                   public ::testing::WithParamInterface<LineFaultCase> {
protected:
    void SetUp() override {
        driver.onFolderPicker([this](std::string_view) -> std::optional<std::string> {
            return folder.path().string();
        });
    }

    test::TempFolder folder;
};

TEST_P(LineFaults, EndWithTheBlocksRecordOrAMessage) {
    const auto [line, mode, kind, position, onBlockB] = GetParam();
    if (line.adapterLatencyMs) {
        backend.setAdapterLatency(*line.adapterLatencyMs);
    }
    auto a = block(18, 42, mode.firmware, true);
    a.entries = {entry(5, 1, true, 7, 8000, 3)};
    auto b = block(18, 43, mode.firmware, false);
    b.entries = {entry(9, 1, false, 7, 8000, 3)};
    addBlock(3, a);
    addBlock(4, b);
    start();
    tick();
    blocksim::LineFault fault;
    fault.kind = kind.kind;
    fault.byte = kind.byte;
    fault.afterSectors =
        position.fromEnd ? (mode.channelBytes + 511) / 512 - 1 - position.sector : position.sector;
    backend.armLineFault(port(onBlockB ? 4 : 3), fault);

    ASSERT_TRUE(driver.clickLine(*window, IDC_RECORD_LIST, 0));
    ASSERT_TRUE(driver.click(*window, IDC_READ_SELECTED));
    ASSERT_TRUE(driver.runUntilWorkersEnd());
    for (int tries = 0; tries < 6 && window->download().job().recoveryPending; ++tries) {
        tick(9);
        clock.advance(1000);
        ASSERT_TRUE(driver.fireTimer(*window, kRecoveryTimer));
        ASSERT_TRUE(driver.runUntilWorkersEnd());
    }
    ASSERT_FALSE(window->download().job().recoveryPending);
    if (!driver.messageBoxes().empty()) {
        EXPECT_EQ(driver.messageBoxes().back().text, "Unable to read communication port");
        return;
    }
    const Bytes data = test::readFileBytes(folder.file(kFile));
    ASSERT_EQ(data.size(), kWavHeaderSize + 2 * mode.channelBytes);
    EXPECT_TRUE(Bytes(data.begin() + kWavHeaderSize, data.end()) ==
                test::expectedSampleData({&a, 5}, {&b, 9}, 0, mode.channelBytes))
        << "the job ended normally with a file that is not what the blocks hold";
    EXPECT_TRUE(window->IsItemEnabled(IDC_READ_SELECTED));
}

std::string caseName(const ::testing::TestParamInfo<LineFaultCase>& info) {
    const auto& [line, mode, kind, position, onBlockB] = info.param;
    return std::string(line.name) + "_" + mode.name + "_" + kind.name + "_" + position.name +
           (onBlockB ? "_BlockB" : "_BlockA");
}

INSTANTIATE_TEST_SUITE_P(
    Download, LineFaults,
    ::testing::Combine(::testing::Values(Line{"Direct", std::nullopt}, Line{"Adapter16ms", 16}),
                       ::testing::Values(kBatches, kSingleSectors, kBasicStream),
                       ::testing::Values(FaultKind{blocksim::LineFault::Kind::Drop, "drop"},
                                         FaultKind{blocksim::LineFault::Kind::Insert, "insert"},
                                         FaultKind{blocksim::LineFault::Kind::Cut, "cut"},
                                         FaultKind{blocksim::LineFault::Kind::Garbage, "garbage"},
                                         // An acknowledgement's byte value where none
                                         // belongs, behind an adapter in a packet after the
                                         // acknowledgement's.
                                         FaultKind{blocksim::LineFault::Kind::Late, "strayack",
                                                   0x0E}),
                       ::testing::Values(Position{"FirstOfRecord", 0}, Position{"FirstOfBatch", 20},
                                         Position{"MiddleOfBatch", 30}, Position{"LastOfBatch", 39},
                                         Position{"LastOfRecord", 0, true}),
                       ::testing::Bool()),
    caseName);

}  // namespace
}  // namespace kelvra
