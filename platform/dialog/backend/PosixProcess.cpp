#include "platform/dialog/backend/PosixProcess.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace kelvra::platform {

bool posixChangeDirectory(std::string_view path) {
    return ::chdir(std::string(path).c_str()) == 0;
}

std::string posixExecutableName() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.stem().string();
}

}  // namespace kelvra::platform
