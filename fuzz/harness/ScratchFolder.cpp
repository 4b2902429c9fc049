#include "fuzz/harness/ScratchFolder.h"

#include <stdlib.h>

#include <random>

#include "fuzz/harness/Findings.h"

namespace kelvra::fuzz {

ScratchFolder& ScratchFolder::get() {
    static ScratchFolder folder;
    return folder;
}

ScratchFolder::ScratchFolder() {
    // In memory where the system offers it: every finished file is synced to its disk.
    std::error_code error;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", error)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
#ifdef _WIN32
    // No mkdtemp: a random name that create_directory makes anew serves as well.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const std::filesystem::path candidate = base / ("kelvra-fuzz-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate;
        }
    }
    if (path_.empty()) {
        abortRun("no folder could be made for the downloads");
    }
#else
    std::string pattern = (base / "kelvra-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        abortRun("no folder could be made for the downloads");
    }
    path_ = pattern;
#endif
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchFolder::fileNames() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    return names;
}

void ScratchFolder::empty() const {
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        std::filesystem::remove_all(entry.path());
    }
}

}  // namespace kelvra::fuzz
