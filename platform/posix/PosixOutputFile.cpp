#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "platform/file/FilePath.h"
#include "platform/file/OutputFile.h"

namespace kelvra::platform {

class OutputFile::Handle {
public:
    Handle(int descriptor, const struct stat& status, std::string partialPath)
        : fd(descriptor),
          device(status.st_dev),
          inode(status.st_ino),
          partial(std::move(partialPath)) {}
    int fd;
    dev_t device;
    ino_t inode;
    std::string partial;
};

namespace {

// A relative name is pinned to the folder's path at open: if that folder is renamed later, the
// file is no longer where the user will look for it, although the current directory follows it.
std::string absolutePath(const std::string& name) {
    if (!name.empty() && name.front() == '/') {
        return name;
    }
    const std::unique_ptr<char, decltype(&std::free)> folder(::getcwd(nullptr, 0), &std::free);
    return folder ? std::string(folder.get()) + "/" + name : std::string();
}

bool clearNonBlocking(int descriptor) {
    const int flags = ::fcntl(descriptor, F_GETFL);
    return flags >= 0 && ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

std::string systemReason() {
    return std::strerror(errno);
}

// A plain file with no other name: writing it, or later replacing it, touches nobody else's data.
bool soleRegularFile(const struct stat& status) {
    return S_ISREG(status.st_mode) && status.st_nlink == 1;
}

bool syncFolderOf(const std::string& path) {
    const std::string folder = path.substr(0, path.find_last_of('/') + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Data the user cannot find at the path are lost all the same. Looked up while the descriptor
// still holds the inode, so its number cannot belong to a newer file there.
bool stillAt(const OutputFile::Handle& handle, const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && status.st_dev == handle.device &&
           status.st_ino == handle.inode;
}

// Gives the partial file a name that must be free: whatever stands there, even if it came a
// moment ago, stays. On a file system without an atomic no-replace rename a second hard link
// does the same, and the partial name is then dropped.
CommitResult renameToFreeName(const std::string& partial, const std::string& path) {
    if (::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) {
        return CommitResult::Done;
    }
    if (errno == EEXIST) {
        return CommitResult::NameTaken;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return CommitResult::Failed;
    }
    if (::link(partial.c_str(), path.c_str()) != 0) {
        return errno == EEXIST ? CommitResult::NameTaken : CommitResult::Failed;
    }
    return ::unlink(partial.c_str()) == 0 ? CommitResult::Done : CommitResult::Failed;
}

// Replaces the file at `path` only while it is the one `replacing` stamps. Other downloads
// hold the folder's lock across this; what is left is a program that writes there without it.
CommitResult renameOver(const std::string& partial, const std::string& path,
                        const FileStamp& replacing) {
    if (stampOf(path) != replacing) {
        return CommitResult::NameTaken;
    }
    return ::rename(partial.c_str(), path.c_str()) == 0 ? CommitResult::Done : CommitResult::Failed;
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
    failure_.clear();
    const std::string path = absolutePath(name);
    if (path.empty()) {
        failure_ = "the current folder is gone";
        return false;
    }
    // In a shared folder another user may have put a link at the name, aiming the download at
    // a file of ours, or a FIFO that would hold the open until someone reads it.
    const int fd = ::open(partialFileName(path).c_str(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        failure_ = errno == ELOOP ? "a link is at the partial file's name" : systemReason();
        return false;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !soleRegularFile(status)) {
        failure_ = "something other than a plain file of its own is at the partial file's name";
        ::close(fd);
        return false;
    }
    // Another program holding the file keeps it; only then is it emptied or continued.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        failure_ = "another program holds the partial file";
        ::close(fd);
        return false;
    }
    const bool placed = keep ? ::lseek(fd, 0, SEEK_END) >= 0 : ::ftruncate(fd, 0) == 0;
    if (!placed || !clearNonBlocking(fd)) {
        failure_ = systemReason();
        ::close(fd);
        return false;
    }
    handle_ = std::make_unique<Handle>(fd, status, partialFileName(path));
    return true;
}

bool OutputFile::write(const std::uint8_t* bytes, std::size_t count) {
    if (!handle_) {
        return false;
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(handle_->fd, bytes + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            failure_ = n < 0 ? systemReason() : "nothing more could be written";
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::uint64_t> OutputFile::size() {
    struct stat status {};
    if (!handle_ || ::fstat(handle_->fd, &status) != 0) {
        failure_ = handle_ ? systemReason() : "no file is open";
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(status.st_size);
}

bool OutputFile::readAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count) {
    if (!handle_) {
        return false;
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(handle_->fd, bytes + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            failure_ = n < 0 ? systemReason() : "the file is shorter than expected";
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool OutputFile::truncate(std::uint64_t length) {
    if (!handle_) {
        return false;
    }
    const auto at = static_cast<off_t>(length);
    if (::ftruncate(handle_->fd, at) != 0 || ::lseek(handle_->fd, at, SEEK_SET) != at) {
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
    if (::fsync(handle_->fd) != 0) {
        failure_ = systemReason();
    } else if (!stillAt(*handle_, handle_->partial)) {
        failure_ = "the partial file is no longer where it was written";
    } else {
        switch (replacing ? renameOver(handle_->partial, path, *replacing)
                          : renameToFreeName(handle_->partial, path)) {
            case CommitResult::NameTaken:
                return CommitResult::NameTaken;
            case CommitResult::Failed:
                failure_ = systemReason();
                break;
            case CommitResult::Done:
                // The new name must survive a power cut as the data do.
                if (!syncFolderOf(path)) {
                    failure_ = systemReason();
                }
                break;
        }
    }
    if (::close(handle_->fd) != 0 && failure_.empty()) {
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
    if (::fsync(handle_->fd) != 0) {
        failure_ = systemReason();
    } else if (!stillAt(*handle_, handle_->partial)) {
        failure_ = "the partial file is no longer where it was written";
    }
    if (::close(handle_->fd) != 0 && failure_.empty()) {
        failure_ = systemReason();
    }
    handle_.reset();
    return failure_.empty();
}

bool OutputFile::isOpen() const {
    return handle_ != nullptr;
}

}  // namespace kelvra::platform
