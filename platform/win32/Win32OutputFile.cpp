#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/file/FilePath.h"
#include "platform/file/OutputFile.h"
#include "platform/win32/SystemReason.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32FileInfo.h"

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
    Handle(HANDLE file, std::wstring partialName, const FileIdentity& identity)
        : h(file), partial(std::move(partialName)), id(identity) {}
    HANDLE h;
    std::wstring partial;
    FileIdentity id;
};

namespace {

// Whether `path` still leads to the file, looked at without opening its data, so nothing
// that holds the file now stands in the way, and without following a link put there since.
bool isStillAt(const std::wstring& path, const FileIdentity& identity) {
    HANDLE probe = openAttributesOnly(path);
    if (probe == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    const bool same = GetFileInformationByHandle(probe, &info) && FileIdentity(info) == identity;
    CloseHandle(probe);
    return same;
}

// How long a file being replaced may stay held by another program (a player that has it
// open, a scanner or indexer looking at it) before the commit gives up.
constexpr DWORD kReplaceRetryMs = 5000;
constexpr DWORD kReplaceRetryStepMs = 100;

// Renames the open file itself, so that no other program can open it between its last write
// and its new name and stand in the way of the rename.
bool renameOpenFile(HANDLE file, const std::wstring& target, bool replace) {
    std::vector<std::uint8_t> buffer(sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, target.data(), info->FileNameLength);
    return SetFileInformationByHandle(file, FileRenameInfo, info,
                                      static_cast<DWORD>(buffer.size())) != 0;
}

bool nameTaken(DWORD error) {
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS;
}

CommitResult renameToFreeName(HANDLE file, const std::wstring& target) {
    if (renameOpenFile(file, target, false)) {
        return CommitResult::Done;
    }
    return nameTaken(GetLastError()) ? CommitResult::NameTaken : CommitResult::Failed;
}

// Replaces the file at `target` only while it is the one `replacing` stamps; a program that
// still holds it is waited for a few seconds, and then the name counts as taken.
CommitResult renameOver(HANDLE file, const std::wstring& target, const FileStamp& replacing) {
    for (DWORD waited = 0;; waited += kReplaceRetryStepMs) {
        if (stampOf(toUtf8(target)) != replacing) {
            return CommitResult::NameTaken;
        }
        if (renameOpenFile(file, target, true)) {
            return CommitResult::Done;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) {
            return CommitResult::Failed;
        }
        // Still held: the file stays, and the record takes another name.
        if (waited >= kReplaceRetryMs) {
            return CommitResult::NameTaken;
        }
        Sleep(kReplaceRetryStepMs);
    }
}

}  // namespace

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    close();
}

bool OutputFile::open(const std::string& name) {
    return openPartial(name, false);
}

bool OutputFile::openToContinue(const std::string& name) {
    return openPartial(name, true);
}

bool OutputFile::openPartial(const std::string& name, bool keep) {
    close();
    const std::wstring path = fullPathName(toUtf16(name));
    if (path.empty()) {
        failure_ = systemReason();
        return false;
    }
    failure_.clear();
    const std::wstring partial = toUtf16(partialFileName(toUtf8(path)));
    // A reparse point at the name is opened itself, not followed: in a shared folder another
    // user could aim it at a file of ours. The file is emptied only once known to be a plain
    // file on a disk, so a device, pipe or link there is left as it was.
    // Delete access lets the commit rename the file through this handle; read access lets a
    // continued record read back what an earlier run wrote.
    HANDLE file = CreateFileW(
        partial.c_str(), GENERIC_READ | GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE, 0, nullptr,
        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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
    const LARGE_INTEGER start{};
    const bool placed =
        keep ? SetFilePointerEx(file, start, nullptr, FILE_END) != 0 : SetEndOfFile(file) != 0;
    if (!placed) {
        failure_ = systemReason();
        CloseHandle(file);
        return false;
    }
    handle_ = std::make_unique<Handle>(file, partial, FileIdentity(info));
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

std::optional<std::uint64_t> OutputFile::size() {
    LARGE_INTEGER length{};
    if (!handle_ || !GetFileSizeEx(handle_->h, &length)) {
        failure_ = handle_ ? systemReason() : "no file is open";
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(length.QuadPart);
}

bool OutputFile::readAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count) {
    if (!handle_) {
        return false;
    }
    const LARGE_INTEGER none{};
    LARGE_INTEGER writeAt{};
    if (!SetFilePointerEx(handle_->h, none, &writeAt, FILE_CURRENT)) {
        failure_ = systemReason();
        return false;
    }
    LARGE_INTEGER from{};
    from.QuadPart = static_cast<LONGLONG>(offset);
    bool whole = SetFilePointerEx(handle_->h, from, nullptr, FILE_BEGIN) != 0;
    if (!whole) {
        failure_ = systemReason();
    }
    std::size_t done = 0;
    while (whole && done < count) {
        const std::size_t chunk = count - done > 0x40000000 ? 0x40000000 : count - done;
        DWORD got = 0;
        if (!ReadFile(handle_->h, bytes + done, static_cast<DWORD>(chunk), &got, nullptr)) {
            failure_ = systemReason();
            whole = false;
        } else if (got == 0) {
            failure_ = "the file is shorter than expected";
            whole = false;
        }
        done += got;
    }
    if (!SetFilePointerEx(handle_->h, writeAt, nullptr, FILE_BEGIN)) {
        failure_ = systemReason();
        return false;
    }
    return whole;
}

bool OutputFile::truncate(std::uint64_t length) {
    if (!handle_) {
        return false;
    }
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFilePointerEx(handle_->h, at, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_->h)) {
        failure_ = systemReason();
        return false;
    }
    return true;
}

CommitResult OutputFile::commit(const std::string& path,
                                const std::optional<FileStamp>& replacing) {
    if (!handle_) {
        return CommitResult::Failed;
    }
    failure_.clear();
    CommitResult result = CommitResult::Failed;
    const std::wstring target = fullPathName(toUtf16(path));
    if (!FlushFileBuffers(handle_->h) || target.empty()) {
        failure_ = systemReason();
    } else if (!isStillAt(handle_->partial, handle_->id)) {
        failure_ = "the partial file is no longer where it was written";
    } else {
        result = replacing ? renameOver(handle_->h, target, *replacing)
                           : renameToFreeName(handle_->h, target);
        if (result == CommitResult::NameTaken) {
            return result;
        }
        if (result == CommitResult::Failed) {
            failure_ = systemReason();
        }
    }
    if (!CloseHandle(handle_->h) && failure_.empty()) {
        failure_ = systemReason();
    }
    handle_.reset();
    return failure_.empty() ? CommitResult::Done : CommitResult::Failed;
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
