#include <windows.h>

#include <string>
#include <utility>

#include "platform/file/AppendFile.h"
#include "platform/win32/SystemReason.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform {

namespace {

bool fail(std::string* failure, std::string why) {
    if (failure != nullptr) {
        *failure = std::move(why);
    }
    return false;
}

// Whether the file ends in anything but a newline, read through `file` at its last byte; false
// with the system's reason in `failure` when that cannot be read.
bool endsTorn(HANDLE file, bool& readable, std::string* failure) {
    LARGE_INTEGER size{};
    readable = GetFileSizeEx(file, &size) != 0;
    if (!readable || size.QuadPart == 0) {
        return readable ? false : fail(failure, systemReason());
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(size.QuadPart - 1);
    at.OffsetHigh = static_cast<DWORD>((size.QuadPart - 1) >> 32);
    char last = '\n';
    DWORD n = 0;
    readable = ReadFile(file, &last, 1, &n, &at) != 0 && n == 1;
    return readable ? last != '\n' : fail(failure, systemReason());
}

}  // namespace

bool appendLine(const std::string& path, const std::string& line, std::string* failure) {
    // Append access alone for writing: each write lands at the end of the file, never over what
    // is there, so another download appending to the same folder's file at the same time (both
    // sharing writes) cannot tear a line. Read access to see how the file ends. A reparse point
    // at the name is opened itself, not followed, and refused below with devices and pipes; a
    // folder does not open without backup semantics.
    HANDLE file =
        CreateFileW(toUtf16(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return fail(failure, systemReason());
    }
    BY_HANDLE_FILE_INFORMATION info{};
    bool appended = false;
    bool readable = false;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        fail(failure, "not a regular file");
    } else if (const bool torn = endsTorn(file, readable, failure); readable) {
        const std::string text = (torn ? "\n" : "") + line + '\n';
        DWORD written = 0;
        if (!std::in_range<DWORD>(text.size())) {
            fail(failure, "the line is too long");
        } else if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written,
                              nullptr) ||
                   !FlushFileBuffers(file)) {
            fail(failure, systemReason());
        } else if (written != text.size()) {
            fail(failure, "only part of the line was written");
        } else {
            appended = true;
        }
    }
    if (!CloseHandle(file) && appended) {
        appended = fail(failure, systemReason());
    }
    return appended;
}

}  // namespace kelvra::platform
