#include <windows.h>

#include <filesystem>

#include "platform/dialog/backend/Process.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform {

bool changeProcessDirectory(std::string_view path) {
    return SetCurrentDirectoryW(toUtf16(std::string(path)).c_str()) != FALSE;
}

std::string processExecutableName() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return toUtf8(std::filesystem::path(path).stem().wstring());
}

}  // namespace kelvra::platform
