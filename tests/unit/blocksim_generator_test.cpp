#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/support/blocksim_bytes.h"
#include "tools/blocksim/BlockSetup.h"
#include "tools/blocksim/SampleGenerator.h"

namespace kelvra::test {
namespace {

using blocksim::BlockSetup;
using blocksim::EntrySetup;
using blocksim::StreamMode;

BlockSetup block(std::uint8_t serialYear, std::uint16_t serialNumber) {
    BlockSetup setup;
    setup.serialYear = serialYear;
    setup.serialNumber = serialNumber;
    return setup;
}

TEST(SampleGenerator, BytesDependOnlyOnTheirPlaceNotOnHowTheyAreAsked) {
    const BlockSetup setup = block(18, 42);
    const Bytes whole = recordBytes(setup, 3, 1, 1000, 4096);
    Bytes pieces;
    for (const auto& [from, to] : {std::pair{0, 1}, {1, 1000}, {1000, 1001}, {1001, 4096}}) {
        const Bytes piece = recordBytes(setup, 3, 1, 1000u + static_cast<unsigned>(from),
                                        static_cast<std::size_t>(to - from));
        pieces.insert(pieces.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(pieces, whole);

    BlockSetup otherRole = setup;
    otherRole.roleA = !setup.roleA;
    otherRole.firmware = 12;
    EXPECT_EQ(recordBytes(otherRole, 3, 1, 1000, 4096), whole)
        << "a block's samples do not change with its role or firmware";
}

TEST(SampleGenerator, EverySectorRecordAndBlockDiffers) {
    const BlockSetup setup = block(18, 42);
    const Bytes reference = recordBytes(setup, 3, 0, 0, 512);
    EXPECT_NE(recordBytes(setup, 3, 0, 512, 512), reference) << "next sector";
    EXPECT_NE(recordBytes(setup, 3, 0, 512ull * 65536, 512), reference) << "sector 65536";
    EXPECT_NE(recordBytes(setup, 3, 1, 0, 512), reference) << "next record";
    EXPECT_NE(recordBytes(setup, 4, 0, 0, 512), reference) << "next entry";
    EXPECT_NE(recordBytes(block(18, 43), 3, 0, 0, 512), reference) << "other serial number";
    EXPECT_NE(recordBytes(block(19, 42), 3, 0, 0, 512), reference) << "other serial year";
}

TEST(SampleGenerator, SamplesAreAnAudibleTone) {
    for (const int serial : {1, 42, 43, 500}) {
        for (const int record : {0, 1, 2, 3}) {
            const Bytes second = recordBytes(block(18, static_cast<std::uint16_t>(serial)), 1,
                                             static_cast<std::uint8_t>(record), 0, 2 * 21362);
            int crossings = 0;
            int peak = 0;
            for (std::size_t i = 0; i + 3 < second.size(); i += 2) {
                const auto sample = static_cast<std::int16_t>(second[i] | second[i + 1] << 8);
                const auto next = static_cast<std::int16_t>(second[i + 2] | second[i + 3] << 8);
                crossings += (sample < 0) != (next < 0);
                peak = std::max(peak, std::abs(static_cast<int>(sample)));
            }
            // Two crossings per period: a tone between about 200 and 900 Hz.
            EXPECT_GE(crossings, 400) << serial << "/" << record;
            EXPECT_LE(crossings, 1800) << serial << "/" << record;
            EXPECT_GT(peak, 4000);
            EXPECT_LT(peak, 12000);
        }
    }
}

// A dead input holds zeros; an overdriven one the tone five times as loud, cut off at the rails.
TEST(SampleGenerator, ZeroAndClippedShapesAreADeadAndAnOverdrivenInput) {
    const BlockSetup setup = block(18, 42);
    const auto shaped = [&](blocksim::SampleShape shape) {
        Bytes bytes(2 * 21362);
        blocksim::fillRecordBytes(setup, 1, 0, 1, bytes.data(), bytes.size(), 0, shape);
        return bytes;
    };
    EXPECT_EQ(shaped(blocksim::SampleShape::Zero), Bytes(2 * 21362, 0));
    EXPECT_EQ(shaped(blocksim::SampleShape::Tone), recordBytes(setup, 1, 0, 1, 2 * 21362));

    // From byte 1 on: the samples straddle the bytes asked for.
    Bytes clipped = shaped(blocksim::SampleShape::Clipped);
    Bytes tone = recordBytes(setup, 1, 0, 0, 2 * 21362 + 1);
    clipped.insert(clipped.begin(), tone[0]);
    int atRails = 0;
    for (std::size_t i = 0; i + 1 < clipped.size(); i += 2) {
        const auto loud = static_cast<std::int16_t>(clipped[i] | clipped[i + 1] << 8);
        const int quiet = static_cast<std::int16_t>(tone[i] | tone[i + 1] << 8);
        const int expected = std::clamp(5 * quiet, -32768, 32767);
        ASSERT_EQ(loud, expected) << "sample " << i / 2;
        atRails += loud == -32768 || loud == 32767;
    }
    EXPECT_GT(atRails, 21362 / 3);
    EXPECT_LT(atRails, 21362 / 2);
}

TEST(SampleGenerator, RecordLengthFollowsTheFirmwareRule) {
    EntrySetup entry;
    entry.sampleRate = 8000;
    entry.duration = 3;
    const auto length = [&](std::uint8_t firmware) {
        BlockSetup setup;
        setup.firmware = firmware;
        return blocksim::recordByteCount(setup, entry);
    };
    EXPECT_EQ(length(42), 120u * 21333 * 2);
    EXPECT_EQ(length(49), 120u * 21333 * 2);
    EXPECT_EQ(length(50), 120u * 21362 * 2);
    EXPECT_EQ(length(59), 120u * 21362 * 2);
    EXPECT_EQ(length(60), 48000u);
    EXPECT_EQ(length(72), 48000u);
    entry.sampleRate = 65535;
    entry.duration = 65535;
    EXPECT_EQ(length(60), 8589672450u) << "no 32-bit wrap";
}

TEST(SampleGenerator, StreamModeFollowsTheFirmware) {
    const std::vector<std::pair<int, StreamMode>> table = {
        {0, StreamMode::Basic},          {7, StreamMode::Basic},
        {12, StreamMode::Basic},         {13, StreamMode::SingleSectors},
        {21, StreamMode::Basic},         {22, StreamMode::SingleSectors},
        {30, StreamMode::Basic},         {31, StreamMode::SingleSectors},
        {39, StreamMode::SingleSectors}, {40, StreamMode::Batches},
        {45, StreamMode::Batches},       {60, StreamMode::Batches},
        {69, StreamMode::Batches},       {70, StreamMode::Basic},
        {72, StreamMode::Basic},         {255, StreamMode::Basic},
    };
    for (const auto& [firmware, mode] : table) {
        EXPECT_EQ(blocksim::streamModeFor(static_cast<std::uint8_t>(firmware)), mode)
            << "firmware " << firmware;
    }
}

}  // namespace
}  // namespace kelvra::test
