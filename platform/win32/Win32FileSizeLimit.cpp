#include <windows.h>

#include <vector>

#include "platform/file/FileSizeLimit.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform {

std::optional<FileSizeLimit> fileSizeLimitOf(const std::string& folder) {
    const std::wstring path = toUtf16(folder);
    // The volume's root may be longer than MAX_PATH only where the folder's path is.
    std::vector<wchar_t> root(path.size() + MAX_PATH + 1);
    if (!GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
        return std::nullopt;
    }
    wchar_t name[MAX_PATH + 1] = {};
    if (!GetVolumeInformationW(root.data(), nullptr, 0, nullptr, nullptr, nullptr, name,
                               MAX_PATH + 1)) {
        return std::nullopt;
    }
    // exFAT holds files far larger than any record.
    const std::wstring fileSystem = name;
    if (fileSystem != L"FAT32" && fileSystem != L"FAT") {
        return std::nullopt;
    }
    return FileSizeLimit{toUtf8(fileSystem), kFatMaxFileBytes};
}

}  // namespace kelvra::platform
