#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/file/AppendFile.h"

namespace kelvra::platform {

namespace {

bool fail(std::string* failure, const std::string& why) {
    if (failure != nullptr) {
        *failure = why;
    }
    return false;
}

bool fail(std::string* failure, int error) {
    // A link at the name is refused by O_NOFOLLOW, whose own words are of no help.
    return fail(failure,
                error == ELOOP ? "a link, not followed" : std::generic_category().message(error));
}

// Whether a file of `size` bytes ends in anything but a newline, read through `fd`.
bool endsTorn(int fd, off_t size, int& error) {
    if (size == 0) {
        return false;
    }
    char last = '\n';
    ssize_t n = -1;
    do {
        n = ::pread(fd, &last, 1, size - 1);
    } while (n < 0 && errno == EINTR);
    error = n < 0 ? errno : 0;
    return n == 1 && last != '\n';
}

}  // namespace

bool appendLine(const std::string& path, const std::string& line, std::string* failure) {
    // Not blocking, so that a FIFO at the name cannot hold the open; it is refused below. Read
    // access to see how the file ends.
    const int fd = ::open(path.c_str(),
                          O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        return fail(failure, errno);
    }
    struct stat status {};
    bool written = false;
    int error = 0;
    if (::fstat(fd, &status) != 0) {
        fail(failure, errno);
    } else if (!S_ISREG(status.st_mode)) {
        fail(failure, "not a regular file");
    } else {
        const bool torn = endsTorn(fd, status.st_size, error);
        const std::string text = (torn ? "\n" : "") + line + '\n';
        ssize_t n = -1;
        if (error == 0) {
            do {
                n = ::write(fd, text.data(), text.size());
            } while (n < 0 && errno == EINTR);
            error = n < 0 ? errno : 0;
        }
        // The rest of a short write is not sent after it: another writer's line may already
        // follow the part that went out.
        if (error != 0) {
            fail(failure, error);
        } else if (n != static_cast<ssize_t>(text.size())) {
            fail(failure, "only part of the line was written");
        } else if (::fsync(fd) != 0) {
            fail(failure, errno);
        } else {
            written = true;
        }
    }
    if (::close(fd) != 0 && written) {
        written = fail(failure, errno);
    }
    return written;
}

}  // namespace kelvra::platform
