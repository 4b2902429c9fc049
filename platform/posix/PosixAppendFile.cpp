#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file/AppendFile.h"

namespace kelvra::platform {

bool appendLine(const std::string& path, const std::string& line) {
    // Not blocking, so that a FIFO at the name cannot hold the open; it is refused below.
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    bool written = false;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        const std::string text = line + '\n';
        ssize_t n = -1;
        do {
            n = ::write(fd, text.data(), text.size());
        } while (n < 0 && errno == EINTR);
        // The rest of a short write is not sent after it: another writer's line may already
        // follow the part that went out.
        written = n == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    }
    const bool closed = ::close(fd) == 0;
    return written && closed;
}

}  // namespace kelvra::platform
