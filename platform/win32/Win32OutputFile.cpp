#include <windows.h>

#include <memory>
#include <string>
#include <utility>

#include "platform/file/FilePath.h"
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
    Handle(HANDLE file, std::wstring fullName, std::wstring partialName,
           const FileIdentity& identity)
        : h(file), name(std::move(fullName)), partial(std::move(partialName)), id(identity) {}
    HANDLE h;
    std::wstring name;
    std::wstring partial;
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

// A plain file on a disk with no other name: writing it, or later replacing it, touches nobody
// else's data.
bool soleRegularFile(HANDLE file, BY_HANDLE_FILE_INFORMATION& info) {
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ==
               0 &&
           info.nNumberOfLinks == 1;
}

// Nothing at the name, or a file the finished download may replace. Looked at without opening
// its data and without following a reparse point.
// The system's words for its last error, without the closing full stop and line break.
std::string systemReason() {
    const DWORD error = GetLastError();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string reason =
        length != 0 ? toUtf8(std::wstring(text, length)) : "system error " + std::to_string(error);
    LocalFree(text);
    while (!reason.empty() &&
           (reason.back() == '\n' || reason.back() == '\r' || reason.back() == '.')) {
        reason.pop_back();
    }
    return reason;
}

constexpr const char* kNotPlainAtName =
    "something other than a plain file of its own is at the name";

// Why the finished download may not replace what is at the name; empty when nothing is there
// or a file it may replace.
std::string refusalAt(const std::wstring& path) {
    HANDLE probe = CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_NOT_FOUND ? std::string() : systemReason();
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain = soleRegularFile(probe, info);
    CloseHandle(probe);
    return plain ? std::string() : kNotPlainAtName;
}

}  // namespace

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    close();
}

bool OutputFile::open(const std::string& name) {
    close();
    const std::wstring path = fullPathName(toUtf16(name));
    failure_ = path.empty() ? systemReason() : refusalAt(path);
    if (!failure_.empty()) {
        return false;
    }
    const std::wstring partial = toUtf16(partialFileName(toUtf8(path)));
    // A reparse point at the name is opened itself, not followed: in a shared folder another
    // user could aim it at a file of ours. The file is emptied only once known to be a plain
    // file on a disk, so a device, pipe or link there is left as it was.
    HANDLE file =
        CreateFileW(partial.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        failure_ = systemReason();
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!soleRegularFile(file, info)) {
        failure_ = "something other than a plain file of its own is at the partial file's name";
        CloseHandle(file);
        return false;
    }
    if (!SetEndOfFile(file)) {
        failure_ = systemReason();
        CloseHandle(file);
        return false;
    }
    handle_ = std::make_unique<Handle>(file, path, partial, FileIdentity(info));
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
        if (!WriteFile(handle_->h, bytes + done, static_cast<DWORD>(chunk), &written, nullptr)) {
            failure_ = systemReason();
            return false;
        }
        if (written == 0) {
            failure_ = "nothing more could be written";
            return false;
        }
        done += written;
    }
    return true;
}

bool OutputFile::commit() {
    if (!handle_) {
        return false;
    }
    failure_.clear();
    if (!FlushFileBuffers(handle_->h)) {
        failure_ = systemReason();
    }
    if (!CloseHandle(handle_->h) && failure_.empty()) {
        failure_ = systemReason();
    }
    if (failure_.empty() && !isStillAt(handle_->partial, handle_->id)) {
        failure_ = "the partial file is no longer where it was written";
    }
    if (failure_.empty() && !MoveFileExW(handle_->partial.c_str(), handle_->name.c_str(),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        failure_ = systemReason();
    }
    handle_.reset();
    return failure_.empty();
}

bool OutputFile::close() {
    if (!handle_) {
        return true;
    }
    failure_.clear();
    if (!FlushFileBuffers(handle_->h)) {
        failure_ = systemReason();
    }
    if (!CloseHandle(handle_->h) && failure_.empty()) {
        failure_ = systemReason();
    }
    // Data the user cannot find at the name are lost all the same.
    if (failure_.empty() && !isStillAt(handle_->partial, handle_->id)) {
        failure_ = "the partial file is no longer where it was written";
    }
    handle_.reset();
    return failure_.empty();
}

bool OutputFile::isOpen() const {
    return handle_ != nullptr;
}

}  // namespace kelvra::platform
