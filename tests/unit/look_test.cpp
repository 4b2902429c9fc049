#include <gtest/gtest.h>

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include <cmath>
#include <fstream>
#include <numbers>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/LatinLabel.h"
#include "cli/LookOverview.h"
#include "cli/LookPicture.h"
#include "download/DownloadManifest.h"
#include "download/WavReader.h"
#include "fuzz/harness/MemorySource.h"
#include "tests/support/TempFolder.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& bytes, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

void tag(Bytes& bytes, const char* text) {
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(text[i]));
    }
}

const Bytes kBlockA = {3, 1, 18, 60, 42, 0, 0, 0};  // S/N 2018-042, firmware 6.0
const Bytes kNoBlock(8, 0);

// A file laid out as Kelvra writes it: RIFF, or RF64 with its ds64 chunk; `channels` and `bits`
// as the format chunk gives them.
struct WavSpec {
    bool rf64 = false;
    std::uint32_t rate = 8000;
    Bytes left = kBlockA;
    Bytes right = kNoBlock;
    std::vector<std::int16_t> samples;  // interleaved, left first
    int channels = 2;
    int bits = 16;
};

Bytes wavFile(const WavSpec& spec) {
    const std::uint64_t data = spec.samples.size() * 2;
    Bytes bytes;
    tag(bytes, spec.rf64 ? "RF64" : "RIFF");
    put(bytes, spec.rf64 ? 0xFFFFFFFF : data + 68, 4);
    tag(bytes, "WAVE");
    if (spec.rf64) {
        tag(bytes, "ds64");
        put(bytes, 28, 4);
        put(bytes, data + 104, 8);
        put(bytes, data, 8);
        put(bytes, data / 4, 8);
        put(bytes, 0, 4);
    }
    tag(bytes, "fmt ");
    put(bytes, 48, 4);
    put(bytes, 1, 2);
    put(bytes, static_cast<std::uint64_t>(spec.channels), 2);
    put(bytes, spec.rate, 4);
    put(bytes, spec.rate * 4, 4);
    put(bytes, 4, 2);
    put(bytes, static_cast<std::uint64_t>(spec.bits), 2);
    put(bytes, 30, 2);
    bytes.insert(bytes.end(), spec.left.begin(), spec.left.end());
    bytes.insert(bytes.end(), spec.right.begin(), spec.right.end());
    bytes.resize(bytes.size() + 14);
    tag(bytes, "data");
    put(bytes, spec.rf64 ? 0xFFFFFFFF : data, 4);
    for (const std::int16_t sample : spec.samples) {
        put(bytes, static_cast<std::uint16_t>(sample), 2);
    }
    return bytes;
}

std::vector<std::int16_t> tones(double leftHz, double rightHz, std::uint32_t rate, int frames) {
    std::vector<std::int16_t> samples;
    for (int i = 0; i < frames; ++i) {
        for (const double hz : {leftHz, rightHz}) {
            samples.push_back(static_cast<std::int16_t>(
                std::lround(16000 * std::sin(2 * std::numbers::pi * hz * i / rate))));
        }
    }
    return samples;
}

class WavReading : public testing::TestWithParam<bool> {};

TEST_P(WavReading, GivesTheHeadersFieldsAndEverySampleBack) {
    WavSpec spec;
    spec.rf64 = GetParam();
    spec.rate = 21333;
    spec.samples = tones(440, 1000, spec.rate, 3001);
    const Bytes file = wavFile(spec);
    fuzz::MemorySource source(file);
    const WavOpening opening = readWavLayout(source);
    ASSERT_TRUE(opening.layout) << opening.failure;
    const WavLayout& layout = *opening.layout;
    EXPECT_EQ(layout.rf64, spec.rf64);
    EXPECT_EQ(layout.sampleRate, 21333u);
    EXPECT_EQ(layout.dataOffset, spec.rf64 ? 112u : 76u);
    EXPECT_EQ(layout.frames(), 3001u);
    ASSERT_TRUE(layout.left);
    const DescribedBlock block = describedBlock(*layout.left);
    EXPECT_EQ(block.serialYear, 18);
    EXPECT_EQ(block.serialNumber, 42);
    EXPECT_EQ(block.firmware, 60);
    EXPECT_FALSE(layout.right);

    Bytes read;
    Bytes buffer(1002);  // frames cut at every place in turn
    WavFrameReader reader(source, layout);
    while (const std::size_t count = reader.next(buffer.data(), buffer.size())) {
        read.insert(read.end(), buffer.begin(), buffer.begin() + static_cast<long>(count));
    }
    EXPECT_EQ(reader.failure(), "");
    EXPECT_EQ(read, Bytes(file.begin() + static_cast<long>(layout.dataOffset), file.end()));
    EXPECT_FALSE(source.readPastTheEnd());
}

INSTANTIATE_TEST_SUITE_P(Both, WavReading, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& param) {
                             return param.param ? "RF64" : "RIFF";
                         });

TEST(WavReading, AFileThatShrinksWhileReadIsReportedCutShort) {
    WavSpec spec;
    spec.samples = tones(440, 1000, spec.rate, 40000);
    const Bytes file = wavFile(spec);
    // The header's first kMaxWavHeaderBytes are all there. The source said it had the whole file;
    // only the first half is there when it is read.
    fuzz::MemorySource source(std::span<const std::uint8_t>(file).first(file.size() / 2),
                              file.size());
    const WavOpening opening = readWavLayout(source);
    ASSERT_TRUE(opening.layout) << opening.failure;
    Bytes buffer(4096);
    WavFrameReader reader(source, *opening.layout);
    while (reader.next(buffer.data(), buffer.size()) != 0) {
    }
    EXPECT_EQ(reader.failure().rfind("cut short: it ended while it was read", 0), 0u)
        << reader.failure();
}

TEST(WavReading, SkipsAChunkAnEditorAddedWithItsPadByte) {
    WavSpec spec;
    spec.samples = {1, -1, 2, -2};
    Bytes file = wavFile(spec);
    // "LIST" of 5 bytes and its pad byte between the format chunk and the samples.
    const Bytes list = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'I', 'N', 'F', 'O', 'x', 0};
    file.insert(file.begin() + 68, list.begin(), list.end());
    file[4] = static_cast<std::uint8_t>(file[4] + list.size());
    fuzz::MemorySource source(file);
    const WavOpening opening = readWavLayout(source);
    ASSERT_TRUE(opening.layout) << opening.failure;
    EXPECT_EQ(opening.layout->dataOffset, 76 + list.size());
    EXPECT_EQ(opening.layout->frames(), 2u);
}

TEST(LookOverview, KeepsEachColumnsSmallestAndLargestSample) {
    // Four columns of three frames: a ramp on the left, its negation on the right.
    cli::LookOverview overview(12, 4);
    Bytes frames;
    for (int i = 0; i < 12; ++i) {
        put(frames, static_cast<std::uint16_t>(i * 1000), 2);
        put(frames, static_cast<std::uint16_t>(-i * 1000), 2);
    }
    overview.add(frames.data(), frames.size());
    overview.finish();
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(overview.extent(0, column).min, column * 3000) << column;
        EXPECT_EQ(overview.extent(0, column).max, column * 3000 + 2000) << column;
        EXPECT_EQ(overview.extent(1, column).min, -(column * 3000 + 2000)) << column;
    }
}

TEST(LookOverview, ShowsAShortFilesFrameInEveryColumnItSpans) {
    cli::LookOverview overview(2, 6);
    const Bytes frames = {0x10, 0, 0, 0, 0x20, 0, 0, 0};
    overview.add(frames.data(), frames.size());
    overview.finish();
    const std::int16_t expected[6] = {0x10, 0x10, 0x10, 0x20, 0x20, 0x20};
    for (int column = 0; column < 6; ++column) {
        EXPECT_TRUE(overview.extent(0, column).any) << column;
        EXPECT_EQ(overview.extent(0, column).max, expected[column]) << column;
    }
}

TEST(LookOverview, PutsAFullScaleToneAtZeroDecibelsInItsBin) {
    // 2 kHz at 16 kHz is bin 128 of 1024; the right channel is silent.
    constexpr int kFrames = 16000;
    cli::LookOverview overview(kFrames, 10);
    Bytes frames;
    for (int i = 0; i < kFrames; ++i) {
        put(frames,
            static_cast<std::uint16_t>(std::lround(32767 * std::sin(std::numbers::pi * i / 4))), 2);
        put(frames, 0, 2);
    }
    overview.add(frames.data(), frames.size());
    overview.finish();
    for (int column = 0; column < 10; ++column) {
        EXPECT_NEAR(overview.level(0, column, 128), 0.0, 0.1) << column;
        EXPECT_LT(overview.level(0, column, 64), -60.0) << column;
        EXPECT_LT(overview.level(1, column, 128), -150.0) << column;
    }
}

TEST(LatinLabel, TransliteratesKelvrasNamesAndMarksOtherCharacters) {
    EXPECT_EQ(cli::latinLabel("5 Марта 18г 14-07-09 Запись 2.wav"),
              "5 Marta 18g 14-07-09 Zapis 2.wav");
    EXPECT_EQ(cli::latinLabel("Ёж Щука"), "Ezh Shchuka");
    EXPECT_EQ(cli::latinLabel("a\tb \xE2\x82\xAC \xF0\x9F\x8E\xA4!"), "a?b ? ?!");
    // A sequence cut off at the end is one mark, and nothing past the text is read.
    EXPECT_EQ(cli::latinLabel("x\xD0"), "x?");
    EXPECT_EQ(cli::latinLabel("x\xF0\x9F"), "x?");
}

// Runs the command in this process, its output captured.
struct Look {
    int status = 0;
    std::string out;
    std::string err;
};

Look look(const std::vector<std::string>& files, const std::string& png = {}) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Look result;
    result.status = cli::runLook(files, png);
    result.out = testing::internal::GetCapturedStdout();
    result.err = testing::internal::GetCapturedStderr();
    return result;
}

std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

void write(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

const std::string kName = "5 Марта 18г 14-07-09 Запись 2.wav";

// Left: a square wave at half scale whose first two samples clip; right: zeros, no block.
WavSpec knownLevels() {
    WavSpec spec;
    for (int i = 0; i < 8000; ++i) {
        const std::int16_t left = i == 0 ? 32767 : i == 1 ? -32768 : i % 2 ? 16384 : -16384;
        spec.samples.push_back(left);
        spec.samples.push_back(0);
    }
    return spec;
}

TEST(LookCommand, PrintsTheFiguresOfAKnownFileAndItsRecordFromTheManifest) {
    test::TempFolder folder;
    const Bytes file = wavFile(knownLevels());
    write(folder.file(kName), file);
    const std::string path = utf8(folder.file(kName));
    const std::string table =
        "  channel block                                    peak dBFS  RMS dBFS  clipped silent\n"
        "  left    block A, S/N 2018-042, firmware 6.0            0.0      -6.0        2 no\n"
        "  right   none                                          -inf      -inf        0 yes\n";

    Look result = look({path});
    EXPECT_EQ(result.status, cli::kExitDone) << result.err;
    EXPECT_EQ(result.out, path + "\n  RIFF, 8000 Hz, 16-bit stereo, 8000 frames, 0:00:01.000\n" +
                              "  record not known: no download manifest entry\n" + table);

    ManifestEntry entry;
    entry.file = kName;
    entry.size = file.size();
    entry.sha256 = std::string(64, 'a');
    entry.record.time = "2018-03-05T14:07:09";
    entry.record.recordNo = 2;
    entry.record.sampleRate = 8000;
    entry.record.duration = 1;
    entry.record.blockA = BlockCopy{18, 42, 60, 4096, 2};
    ASSERT_TRUE(DownloadManifest::append(utf8(folder.path()), entry));
    result = look({path});
    EXPECT_EQ(result.status, cli::kExitDone) << result.err;
    EXPECT_EQ(result.out, path + "\n  RIFF, 8000 Hz, 16-bit stereo, 8000 frames, 0:00:01.000\n" +
                              "  record 2 of 2018-03-05 14:07:09, 1 s, blocks A (S/N 2018-042)\n" +
                              table);

    // An entry noted for another file of that name tells nothing of this one.
    entry.size += 4;
    ASSERT_TRUE(DownloadManifest::append(utf8(folder.path()), entry));
    result = look({path});
    EXPECT_NE(result.out.find("record not known"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("not the file kelvra-manifest.jsonl noted"), std::string::npos);
}

TEST(LookCommand, ReadsAnRf64FileAndGoesOnPastAFileItCannotRead) {
    test::TempFolder folder;
    WavSpec spec;
    spec.rf64 = true;
    spec.rate = 21333;
    spec.right = {3, 2, 18, 60, 43, 0, 0, 0};
    spec.samples = tones(440, 1000, spec.rate, 21333 * 2);
    write(folder.file("rf64.wav"), wavFile(spec));
    const std::string missing = utf8(folder.file("missing.wav"));

    const Look result = look({missing, utf8(folder.file("rf64.wav"))});
    EXPECT_EQ(result.status, cli::kExitFailed);
    EXPECT_EQ(result.err, missing + ": no such file\n");
    EXPECT_NE(result.out.find("  RF64, 21333 Hz, 16-bit stereo, 42666 frames, 0:00:02.000\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("  right   block B, S/N 2018-043, firmware 6.0"), std::string::npos)
        << result.out;
}

struct BadInput {
    const char* name;
    std::function<void(const std::filesystem::path&)> make;  // nothing made: a missing path
    const char* why;                                         // what the message says after the path
};

Bytes changed(WavSpec spec, const std::function<void(Bytes&)>& change) {
    spec.samples = tones(440, 1000, spec.rate, 100);
    Bytes bytes = wavFile(spec);
    change(bytes);
    return bytes;
}

void PrintTo(const BadInput& input, std::ostream* out) {
    *out << input.name;
}

const BadInput kBadInputs[] = {
    {"Missing", [](const auto&) {}, "no such file"},
    {"Folder", [](const auto& path) { std::filesystem::create_directory(path); },
     "a folder, not a file"},
    {"Empty", [](const auto& path) { write(path, {}); },
     "not a WAV file (0 bytes, too short for a header)"},
    {"Text",
     [](const auto& path) {
         write(path, Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '\n'});
     },
     "not a WAV file (it starts with \"hell\", not RIFF or RF64)"},
    {"CutInTheHeader",
     [](const auto& path) { write(path, changed({}, [](Bytes& b) { b.resize(60); })); },
     "cut short: its \"fmt \" chunk claims 48 bytes, more than the file holds"},
    {"CutInTheSamples",
     [](const auto& path) { write(path, changed({}, [](Bytes& b) { b.resize(b.size() - 10); })); },
     "cut short: the header claims 400 bytes of samples, the file holds 390 bytes after the "
     "header"},
    {"RiffSizeBeyondTheFile",
     [](const auto& path) { write(path, changed({}, [](Bytes& b) { b[5] = 0x10; })); },
     "cut short: its RIFF size claims 4308 bytes after the first 8, the file holds 468 bytes"},
    {"Rf64DataSizeBeyondAnyFile",
     [](const auto& path) {
         WavSpec spec;
         spec.rf64 = true;
         write(path, changed(spec, [](Bytes& b) { b[35] = 0x80; }));
     },
     "cut short: the header claims 9223372036854776208 bytes of samples, the file holds 400 "
     "bytes after the header"},
    {"Rf64WithoutDs64",
     [](const auto& path) {
         write(path, changed({}, [](Bytes& b) { std::copy_n("RF64", 4, b.begin()); }));
     },
     "an RF64 file without a ds64 chunk before its samples"},
    {"Mono",
     [](const auto& path) {
         WavSpec spec;
         spec.channels = 1;
         write(path, changed(spec, [](Bytes&) {}));
     },
     "not 16-bit stereo PCM (format 1, 1 channels, 16 bits)"},
};

class LookRefuses : public testing::TestWithParam<BadInput> {};

TEST_P(LookRefuses, NamingTheFileAndWhy) {
    test::TempFolder folder;
    const std::filesystem::path file = folder.file("input.wav");
    GetParam().make(file);
    const Look result = look({utf8(file)});
    EXPECT_EQ(result.status, cli::kExitFailed);
    EXPECT_EQ(result.err, utf8(file) + ": " + GetParam().why + "\n");
    EXPECT_EQ(result.out, "");
}

INSTANTIATE_TEST_SUITE_P(BadInputs, LookRefuses, testing::ValuesIn(kBadInputs),
                         [](const testing::TestParamInfo<BadInput>& param) {
                             return std::string(param.param.name);
                         });

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    const std::uint8_t* at(int x, int y) const {
        return rgb.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                             static_cast<std::size_t>(x)) *
                                3;
    }
};

Picture decode(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> png{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
    Picture picture;
    int components = 0;
    std::uint8_t* pixels = stbi_load_from_memory(png.data(), static_cast<int>(png.size()),
                                                 &picture.width, &picture.height, &components, 3);
    if (pixels != nullptr) {
        picture.rgb.assign(pixels, pixels + picture.width * picture.height * 3);
        stbi_image_free(pixels);
    }
    return picture;
}

// The row of a spectrogram's column that is brightest.
int loudestRow(const Picture& picture, int channel, int x) {
    int best = -1;
    int bestSum = -1;
    for (int row = 0; row < cli::kLookSpectrogramHeight; ++row) {
        const std::uint8_t* pixel = picture.at(x, cli::kLookSpectrogramTop[channel] + row);
        const int sum = pixel[0] + pixel[1] + pixel[2];
        if (sum > bestSum) {
            bestSum = sum;
            best = row;
        }
    }
    return best;
}

TEST(LookPicture, DrawsEachChannelsToneInItsOwnRow) {
    test::TempFolder folder;
    WavSpec spec;
    spec.rate = 16000;
    spec.samples = tones(1000, 6000, spec.rate, 3 * 16000);
    write(folder.file(kName), wavFile(spec));
    const std::filesystem::path png = folder.file("look.png");
    const Look result = look({utf8(folder.file(kName))}, utf8(png));
    ASSERT_EQ(result.status, cli::kExitDone) << result.err;

    const Picture picture = decode(png);
    ASSERT_FALSE(picture.rgb.empty()) << "not a PNG file";
    EXPECT_GE(picture.width, 1200);
    EXPECT_GE(picture.height, 600);
    bool varied = false;
    for (std::size_t at = 3; at < picture.rgb.size() && !varied; at += 3) {
        varied = !std::equal(picture.rgb.begin(), picture.rgb.begin() + 3,
                             picture.rgb.begin() + static_cast<long>(at));
    }
    EXPECT_TRUE(varied) << "the picture is of one colour";

    // Row 0 is 8 kHz, the last row 0 Hz.
    const auto rowOf = [](double hz) {
        return static_cast<int>(std::lround((1 - hz / 8000) * (cli::kLookSpectrogramHeight - 1)));
    };
    const int x = cli::kLookPlotLeft + cli::kLookColumns / 2;
    EXPECT_NEAR(loudestRow(picture, 0, x), rowOf(1000), 2);
    EXPECT_NEAR(loudestRow(picture, 1, x), rowOf(6000), 2);
}

TEST(LookPicture, RefusesSeveralFilesAndAPlaceItCannotWrite) {
    test::TempFolder folder;
    WavSpec spec;
    spec.samples = tones(440, 1000, spec.rate, 100);
    write(folder.file(kName), wavFile(spec));
    const std::string wav = utf8(folder.file(kName));
    const std::string png = utf8(folder.file("look.png"));

    Look result = look({wav, wav}, png);
    EXPECT_EQ(result.status, cli::kExitUsage);
    EXPECT_FALSE(std::filesystem::exists(folder.file("look.png")));

    result = look({wav}, utf8(folder.path()));
    EXPECT_EQ(result.status, cli::kExitFailed);
    EXPECT_EQ(result.err, utf8(folder.path()) + ": cannot be created\n");
}

}  // namespace
}  // namespace kelvra
