#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/file/RegularFile.h"

namespace kelvra::platform {

namespace {

FileRead refused(FileReadStatus status, int error = 0) {
    FileRead read;
    read.status = status;
    if (error != 0) {
        read.failure = std::generic_category().message(error);
    }
    return read;
}

// Up to the end, or until there is more than `maxBytes`: the file may grow while it is read.
FileRead readAll(int fd, std::size_t maxBytes) {
    FileRead read;
    read.status = FileReadStatus::Read;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return refused(FileReadStatus::Failed, errno);
        }
        if (n == 0) {
            return read;
        }
        if (static_cast<std::size_t>(n) > maxBytes - read.bytes.size()) {
            return refused(FileReadStatus::TooLarge);
        }
        read.bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

FileRead readRegularFile(const std::string& path, std::size_t maxBytes) {
    // Not blocking, so that a FIFO at the name cannot hold the open; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) {
            return refused(FileReadStatus::Missing);
        }
        // A link at the name (ELOOP), or a socket (ENXIO).
        if (error == ELOOP || error == ENXIO) {
            return refused(FileReadStatus::NotRegular);
        }
        return refused(FileReadStatus::Failed, error);
    }
    FileRead read;
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        read = refused(FileReadStatus::Failed, errno);
    } else if (!S_ISREG(status.st_mode)) {
        read = refused(FileReadStatus::NotRegular);
    } else {
        read = readAll(fd, maxBytes);
    }
    ::close(fd);
    return read;
}

}  // namespace kelvra::platform
