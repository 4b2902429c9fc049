#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <random>
#include <system_error>

#include "download/DownloadManifest.h"
#include "platform/file/FolderLock.h"

namespace kelvra::test {

TempFolder::TempFolder() {
#ifdef _WIN32
    // No mkdtemp: a random name that create_directory makes anew serves as well.
    std::random_device random;
    std::error_code error;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() / ("kelvra-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate;
        }
    }
    if (path_.empty()) {
        ADD_FAILURE() << "no temporary folder";
    }
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "kelvra-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "no temporary folder";
    }
    path_ = pattern;
#endif
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempFolder::fileNames() const {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(path_)) {
        if (item.is_regular_file() && item.path().filename() != kManifestFileName &&
            item.path().filename() != platform::kFolderLockFileName) {
            const std::u8string name = item.path().filename().u8string();
            names.emplace_back(name.begin(), name.end());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace kelvra::test
