#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "platform/file/OutputFile.h"

namespace kelvra::platform {

class OutputFile::Handle {
public:
    Handle(int descriptor, const struct stat& status, std::string absolutePath)
        : fd(descriptor),
          device(status.st_dev),
          inode(status.st_ino),
          path(std::move(absolutePath)) {}
    int fd;
    dev_t device;
    ino_t inode;
    std::string path;
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

}  // namespace

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    close();
}

bool OutputFile::open(const std::string& name) {
    close();
    const std::string path = absolutePath(name);
    if (path.empty()) {
        return false;
    }
    // In a shared folder another user may have put a link at the name, aiming the download at
    // a file of ours, or a FIFO that would hold the open until someone reads it.
    const int fd =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    const bool regularFile = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    // Another program holding the file keeps it; only then is it emptied.
    if (!regularFile || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0 ||
        !clearNonBlocking(fd)) {
        ::close(fd);
        return false;
    }
    handle_ = std::make_unique<Handle>(fd, status, path);
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
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool OutputFile::close() {
    if (!handle_) {
        return true;
    }
    const bool synced = ::fsync(handle_->fd) == 0;
    // Data the user cannot find at the name is lost all the same. Looked up while the
    // descriptor still holds the inode, so its number cannot belong to a newer file there.
    struct stat status {};
    const bool reachable = ::lstat(handle_->path.c_str(), &status) == 0 &&
                           status.st_dev == handle_->device && status.st_ino == handle_->inode;
    const bool closed = ::close(handle_->fd) == 0;
    handle_.reset();
    return synced && reachable && closed;
}

bool OutputFile::isOpen() const {
    return handle_ != nullptr;
}

}  // namespace kelvra::platform
