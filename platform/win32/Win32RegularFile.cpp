#include <windows.h>

#include <string>
#include <utility>

#include "platform/file/RegularFile.h"
#include "platform/win32/SystemReason.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform {

namespace {

FileRead refused(FileReadStatus status, std::string failure = {}) {
    FileRead read;
    read.status = status;
    read.failure = std::move(failure);
    return read;
}

// Up to the end, or until there is more than `maxBytes`: the file may grow while it is read.
FileRead readAll(HANDLE file, std::size_t maxBytes) {
    FileRead read;
    read.status = FileReadStatus::Read;
    char buffer[1 << 16];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
            return refused(FileReadStatus::Failed, systemReason());
        }
        if (n == 0) {
            return read;
        }
        if (n > maxBytes - read.bytes.size()) {
            return refused(FileReadStatus::TooLarge);
        }
        read.bytes.append(buffer, n);
    }
}

}  // namespace

FileRead readRegularFile(const std::string& path, std::size_t maxBytes) {
    const std::wstring name = toUtf16(path);
    // Sharing writes: a download may be appending to the file. A reparse point at the name is
    // opened itself, not followed, and refused below with devices and pipes.
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return refused(FileReadStatus::Missing);
        }
        // A folder does not open without backup semantics.
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return refused(FileReadStatus::NotRegular);
        }
        SetLastError(error);
        return refused(FileReadStatus::Failed, systemReason());
    }
    BY_HANDLE_FILE_INFORMATION info{};
    FileRead read;
    if (GetFileType(file) != FILE_TYPE_DISK) {
        read = refused(FileReadStatus::NotRegular);
    } else if (!GetFileInformationByHandle(file, &info)) {
        read = refused(FileReadStatus::Failed, systemReason());
    } else if ((info.dwFileAttributes &
                (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        read = refused(FileReadStatus::NotRegular);
    } else {
        read = readAll(file, maxBytes);
    }
    CloseHandle(file);
    return read;
}

}  // namespace kelvra::platform
