#include "tests/support/PrivateRuntimeDir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/serial/PortNames.h"

namespace kelvra::test {

PrivateRuntimeDir::PrivateRuntimeDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kelvra-runtime-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary directory");
    }
    path_ = pattern;
    if (const char* previous = std::getenv("XDG_RUNTIME_DIR")) {
        previous_ = previous;
    }
    ::setenv("XDG_RUNTIME_DIR", path_.c_str(), 1);
}

PrivateRuntimeDir::~PrivateRuntimeDir() {
    if (previous_) {
        ::setenv("XDG_RUNTIME_DIR", previous_->c_str(), 1);
    } else {
        ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string PrivateRuntimeDir::portDirectory() const {
    return platform::linuxPortDirectory();
}

void PrivateRuntimeDir::blockOtherPorts(const std::vector<int>& used) const {
    const std::string ports = portDirectory();
    for (const std::string& directory : {path_ + "/kelvra", ports}) {
        if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
            throw std::runtime_error("cannot create " + directory);
        }
    }
    const std::string nowhere = path_ + "/no-device";
    for (int com = 1; com <= platform::kPortCount; ++com) {
        if (std::find(used.begin(), used.end(), com) != used.end()) {
            continue;
        }
        const std::string link = ports + "/COM" + std::to_string(com);
        if (::symlink(nowhere.c_str(), link.c_str()) != 0) {
            throw std::runtime_error("cannot create " + link);
        }
    }
}

}  // namespace kelvra::test
