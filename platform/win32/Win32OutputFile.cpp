#include <windows.h>

#include <memory>
#include <string>
#include <utility>

#include "platform/file/OutputFile.h"
#include "platform/win32/Utf16.h"

namespace kelvra::platform {

namespace {

// Which file a handle stands for, whatever names lead to it.
struct FileIdentity {
    DWORD volume = 0;
    DWORD indexHigh = 0;
    DWORD indexLow = 0;

    explicit FileIdentity(const BY_HANDLE_FILE_INFORMATION& info)
        : volume(info.dwVolumeSerialNumber),
          indexHigh(info.nFileIndexHigh),
          indexLow(info.nFileIndexLow) {}
    bool operator==(const FileIdentity&) const = default;
};

// A relative name is pinned to the folder's path at open, so that close can tell whether the
// file is still where the user will look for it.
std::wstring fullPathName(const std::wstring& name) {
    DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    while (size != 0) {
        std::wstring full(size, L'\0');
        const DWORD length = GetFullPathNameW(name.c_str(), size, full.data(), nullptr);
        if (length < size) {
            full.resize(length);
            return full;
        }
        size = length;
    }
    return {};
}

}  // namespace

class OutputFile::Handle {
public:
    Handle(HANDLE file, std::wstring fullPath, const FileIdentity& identity)
        : h(file), path(std::move(fullPath)), id(identity) {}
    HANDLE h;
    std::wstring path;
    FileIdentity id;
};

namespace {

// Whether `path` still leads to the file, looked at without opening its data, so nothing
// that holds the file now stands in the way, and without following a link put there since.
bool isStillAt(const std::wstring& path, const FileIdentity& identity) {
    HANDLE probe = CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool same = GetFileInformationByHandle(probe, &info) && FileIdentity(info) == identity;
    CloseHandle(probe);
    return same;
}

}  // namespace

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    close();
}

bool OutputFile::open(const std::string& name) {
    close();
    const std::wstring path = fullPathName(toUtf16(name));
    if (path.empty()) {
        return false;
    }
    // A reparse point at the name is opened itself, not followed: in a shared folder another
    // user could aim it at a file of ours. The file is emptied only once known to be a plain
    // file on a disk, so a device, pipe or link there is left as it was.
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plainFile =
        GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
    if (!plainFile || !SetEndOfFile(file)) {
        CloseHandle(file);
        return false;
    }
    handle_ = std::make_unique<Handle>(file, path, FileIdentity(info));
    return true;
}

bool OutputFile::write(const std::uint8_t* bytes, std::size_t count) {
    if (!handle_) {
        return false;
    }
    std::size_t done = 0;
    while (done < count) {
        const std::size_t chunk = count - done > 0x40000000 ? 0x40000000 : count - done;
        DWORD written = 0;
        if (!WriteFile(handle_->h, bytes + done, static_cast<DWORD>(chunk), &written, nullptr) ||
            written == 0) {
            return false;
        }
        done += written;
    }
    return true;
}

bool OutputFile::close() {
    if (!handle_) {
        return true;
    }
    const bool flushed = FlushFileBuffers(handle_->h) != 0;
    const bool closed = CloseHandle(handle_->h) != 0;
    // Data the user cannot find at the name is lost all the same.
    const bool reachable = isStillAt(handle_->path, handle_->id);
    handle_.reset();
    return flushed && closed && reachable;
}

bool OutputFile::isOpen() const {
    return handle_ != nullptr;
}

}  // namespace kelvra::platform
