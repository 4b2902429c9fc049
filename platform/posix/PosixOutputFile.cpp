#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file/OutputFile.h"

namespace kelvra::platform {

class OutputFile::Handle {
public:
    explicit Handle(int descriptor) : fd(descriptor) {}
    int fd;
};

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
    close();
}

bool OutputFile::open(const std::string& name) {
    close();
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    // Another program holding the file keeps it; only then is it emptied.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    handle_ = std::make_unique<Handle>(fd);
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
    const bool closed = ::close(handle_->fd) == 0;
    handle_.reset();
    return synced && closed;
}

bool OutputFile::isOpen() const {
    return handle_ != nullptr;
}

}  // namespace kelvra::platform
