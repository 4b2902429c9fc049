#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/file/FilePath.h"
#include "platform/file/FolderLock.h"

namespace kelvra::platform {

class FolderLock::Handle {
public:
    explicit Handle(int descriptor) : fd(descriptor) {}
    ~Handle() { ::close(fd); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    int fd;
};

FolderLock::FolderLock() = default;
FolderLock::~FolderLock() = default;

bool FolderLock::take(const std::string& folder, unsigned waitMs) {
    handle_.reset();
    failure_.clear();
    const std::string path = pathInFolder(folder, kFolderLockFileName);
    // Read access is all a lock needs, so that a lock file another user made serves this one.
    const int fd =
        ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        failure_ = path + ": " + std::strerror(errno);
        return false;
    }
    auto handle = std::make_unique<Handle>(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        failure_ = path + ": not a regular file";
        return false;
    }
    // Polled rather than waited for in the call, so that a holder that never lets go costs a
    // message, not a download that hangs.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            failure_ = path + ": " + std::strerror(errno);
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            failure_ = path + ": another download holds the folder's lock";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    handle_ = std::move(handle);
    return true;
}

}  // namespace kelvra::platform
