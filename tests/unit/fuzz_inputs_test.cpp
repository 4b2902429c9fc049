#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz/harness/ManifestRun.h"
#include "fuzz/harness/RecordTableRun.h"
#include "fuzz/harness/ScenarioRun.h"
#include "fuzz/harness/SessionTableRun.h"
#include "fuzz/harness/StationRun.h"
#include "fuzz/harness/WavRun.h"

namespace kelvra {
namespace {

namespace fs = std::filesystem;

using Harness = fuzz::Findings (*)(std::span<const std::uint8_t>);

struct Target {
    const char* name;  // the folder of its inputs, as in fuzz/corpus
    Harness run;
};

constexpr Target kTargets[] = {
    {"station", &fuzz::runStation},
    {"record_table", &fuzz::runRecordTable},
    {"session_table", &fuzz::runSessionTable},
    {"scenario", &fuzz::runScenario},
    {"manifest", &fuzz::runManifest},
    {"wav", &fuzz::runWav},
};

// A fuzz input kept in the repository: a seed, or one the fuzzer once failed on, replayed
// through the same harness so that the checks it passed keep passing.
struct KeptInput {
    std::string target;
    std::string kind;  // "seed" or "finding"
    fs::path file;
    Harness run = nullptr;
};

void PrintTo(const KeptInput& input, std::ostream* out) {
    *out << input.target << ' ' << input.kind << ' ' << input.file.filename().string();
}

void addInputs(const Target& target, const char* kind, const fs::path& folder,
               std::vector<KeptInput>& inputs) {
    if (!fs::is_directory(folder)) {
        return;
    }
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        inputs.push_back({target.name, kind, file, target.run});
    }
}

std::vector<KeptInput> keptInputs() {
    std::vector<KeptInput> inputs;
    for (const Target& target : kTargets) {
        addInputs(target, "seed", fs::path(KELVRA_FUZZ_CORPUS_DIR) / target.name, inputs);
        addInputs(target, "finding", fs::path(KELVRA_FUZZ_REGRESSIONS_DIR) / target.name, inputs);
    }
    return inputs;
}

std::string testName(const testing::TestParamInfo<KeptInput>& info) {
    std::string name =
        info.param.target + "_" + info.param.kind + "_" + info.param.file.stem().string();
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return std::isalnum(c) == 0; }, '_');
    return name;
}

class FuzzInput : public testing::TestWithParam<KeptInput> {};

TEST_P(FuzzInput, PassesEveryCheckOfItsHarness) {
    std::ifstream file(GetParam().file, std::ios::binary);
    ASSERT_TRUE(file.is_open());
    const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    EXPECT_EQ(GetParam().run(input), fuzz::Findings{});
}

INSTANTIATE_TEST_SUITE_P(Kept, FuzzInput, testing::ValuesIn(keptInputs()), testName);

}  // namespace
}  // namespace kelvra
