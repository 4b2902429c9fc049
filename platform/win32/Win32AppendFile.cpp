#include <windows.h>

#include <string>
#include <utility>

#include "platform/file/AppendFile.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform {

bool appendLine(const std::string& path, const std::string& line) {
    // Append access alone: each write lands at the end of the file, never over what is there,
    // so another download appending to the same folder's file at the same time (both sharing
    // writes) cannot tear a line. A reparse point at the name is opened itself, not followed, and
    // refused below with devices and pipes; a folder does not open without backup semantics.
    HANDLE file = CreateFileW(toUtf16(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const std::string text = line + '\n';
    DWORD written = 0;
    const bool appended =
        GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
        std::in_range<DWORD>(text.size()) &&
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size() && FlushFileBuffers(file);
    const bool closed = CloseHandle(file) != 0;
    return appended && closed;
}

}  // namespace kelvra::platform
