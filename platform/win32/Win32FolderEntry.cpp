#include <windows.h>

#include "platform/file/FolderEntry.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileInfo.h"

namespace kelvra::platform {

bool soleRegularFile(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ==
               0 &&
           info.nNumberOfLinks == 1;
}

HANDLE openAttributesOnly(const std::wstring& path) {
    return CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

FolderEntry entryAt(const std::string& path) {
    HANDLE probe = openAttributesOnly(toUtf16(path));
    if (probe == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                   ? FolderEntry::Nothing
                   : FolderEntry::Unreachable;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain = soleRegularFile(probe, info);
    CloseHandle(probe);
    return plain ? FolderEntry::SoleRegularFile : FolderEntry::SomethingElse;
}

std::optional<FileStamp> stampOf(const std::string& path) {
    HANDLE probe = openAttributesOnly(toUtf16(path));
    if (probe == INVALID_HANDLE_VALUE) {
        return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain = soleRegularFile(probe, info);
    CloseHandle(probe);
    if (!plain) {
        return std::nullopt;
    }
    const auto wide = [](DWORD high, DWORD low) {
        return (static_cast<std::uint64_t>(high) << 32) | low;
    };
    return FileStamp{info.dwVolumeSerialNumber, wide(info.nFileIndexHigh, info.nFileIndexLow),
                     wide(info.nFileSizeHigh, info.nFileSizeLow),
                     static_cast<std::int64_t>(wide(info.ftLastWriteTime.dwHighDateTime,
                                                    info.ftLastWriteTime.dwLowDateTime))};
}

bool partialFileInUse(const std::string& path) {
    // A download holds its partial file open, shared with nobody, from its open to its commit:
    // only that refuses an open for reading that shares everything.
    HANDLE probe = CreateFileW(toUtf16(path).c_str(), GENERIC_READ,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_SHARING_VIOLATION;
    }
    CloseHandle(probe);
    return false;
}

}  // namespace kelvra::platform
