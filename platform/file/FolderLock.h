#pragma once

#include <memory>
#include <string>

namespace kelvra::platform {

// The lock file of a download folder, beside its manifest.
inline constexpr const char* kFolderLockFileName = "kelvra-manifest.lock";

// Serialises, between processes, the steps of downloads that judge or change which file has
// which name in one folder: choosing a record's name, giving a complete file its name and
// noting it in the manifest. Held from a successful take() until destruction.
class FolderLock {
public:
    FolderLock();
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Waits for the lock of `folder` while another download holds it, at most `waitMs`. The
    // lock file is used only when it is a plain file: a link or a pipe put there is refused.
    bool take(const std::string& folder, unsigned waitMs);
    bool held() const { return handle_ != nullptr; }
    // Why take() failed.
    const std::string& failure() const { return failure_; }

    class Handle;

private:
    std::unique_ptr<Handle> handle_;
    std::string failure_;
};

}  // namespace kelvra::platform
