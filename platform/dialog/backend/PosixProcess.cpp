#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/dialog/backend/Process.h"

namespace kelvra::platform {

bool changeProcessDirectory(std::string_view path) {
    return ::chdir(std::string(path).c_str()) == 0;
}

std::string processExecutableName() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.stem().string();
}

}  // namespace kelvra::platform
