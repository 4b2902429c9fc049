#include <windows.h>

#include <chrono>

#include "platform/file/FilePath.h"
#include "platform/file/FolderLock.h"
#include "platform/win32/SystemReason.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileInfo.h"

namespace kelvra::platform {

class FolderLock::Handle {
public:
    explicit Handle(HANDLE file) : h(file) {}
    // Closing the handle releases its lock.
    ~Handle() { CloseHandle(h); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE h;
};

FolderLock::FolderLock() = default;
FolderLock::~FolderLock() = default;

bool FolderLock::take(const std::string& folder, unsigned waitMs) {
    handle_.reset();
    failure_.clear();
    const std::string path = pathInFolder(folder, kFolderLockFileName);
    // Read access is all a lock needs, so that a read-only lock file serves too.
    HANDLE file = CreateFileW(toUtf16(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        failure_ = path + ": " + systemReason();
        return false;
    }
    auto handle = std::make_unique<Handle>(file);
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
        failure_ = path + ": not a regular file";
        return false;
    }
    // Polled, so that a holder that never lets go costs a message, not a download that hangs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        OVERLAPPED whole{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &whole)) {
            break;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION) {
            failure_ = path + ": " + systemReason();
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            failure_ = path + ": another download holds the folder's lock";
            return false;
        }
        Sleep(20);
    }
    handle_ = std::move(handle);
    return true;
}

}  // namespace kelvra::platform
