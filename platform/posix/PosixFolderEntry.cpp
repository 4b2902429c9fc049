#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file/FolderEntry.h"

namespace kelvra::platform {

namespace {

bool soleRegularFile(const struct stat& status) {
    return S_ISREG(status.st_mode) && status.st_nlink == 1;
}

}  // namespace

FolderEntry entryAt(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
        return errno == ENOENT ? FolderEntry::Nothing : FolderEntry::Unreachable;
    }
    return soleRegularFile(status) ? FolderEntry::SoleRegularFile : FolderEntry::SomethingElse;
}

std::optional<FileStamp> stampOf(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !soleRegularFile(status)) {
        return std::nullopt;
    }
    return FileStamp{
        static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino),
        static_cast<std::uint64_t>(status.st_size),
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

bool partialFileInUse(const std::string& path) {
    // Not blocking and not following a link: only a plain partial file can be a download's.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    bool held = false;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        // A download holds its partial file's lock from its open to its commit.
        held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    }
    ::close(fd);
    return held;
}

}  // namespace kelvra::platform
