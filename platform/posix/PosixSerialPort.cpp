#include "platform/posix/PosixSerialPort.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

namespace kelvra::platform {

namespace {

using SteadyClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kReadInterval{200};
constexpr milliseconds kReadTotalConstant{1000};
constexpr milliseconds kReadTotalPerByte{5};
constexpr milliseconds kWriteTotalConstant{20};
constexpr milliseconds kWriteTotalPerByte{1000};

milliseconds timeBudget(milliseconds constant, milliseconds perByte, std::size_t count) {
    // Capped so the product cannot overflow; the cap is beyond any real transfer.
    const auto cappedCount = static_cast<milliseconds::rep>(std::min<std::size_t>(count, 1u << 30));
    return constant + perByte * cappedCount;
}

// Waits for `events` until `deadline`; the events that came, or 0 once the deadline passed.
short waitFor(int descriptor, short events, SteadyClock::time_point deadline) {
    for (;;) {
        const auto now = SteadyClock::now();
        if (now >= deadline) {
            return 0;
        }
        const auto left = std::chrono::ceil<milliseconds>(deadline - now).count();
        pollfd watched{descriptor, events, 0};
        const int ready = ::poll(&watched, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
        if (ready > 0) {
            return watched.revents;
        }
        if (ready < 0 && errno != EINTR) {
            return POLLERR;
        }
    }
}

constexpr short kGone = POLLHUP | POLLERR | POLLNVAL;

// A terminal that is our own session's controlling terminal belongs to the user's shell.
bool isOwnControllingTerminal(int descriptor) {
    const pid_t session = tcgetsid(descriptor);
    return session != -1 && session == getsid(0);
}

// Another holder's exclusive mode only stops non-root openers; refuse it for root as well.
bool isHeldExclusively(int descriptor) {
#ifdef TIOCGEXCL
    int exclusive = 0;
    return ::ioctl(descriptor, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
#else
    (void)descriptor;
    return false;
#endif
}

// A pseudo-terminal's slave keeps its exclusive mode as long as its master is open, also after
// the process that set it was killed: an emulator's or simulator's port would stay refused
// until that program restarts. There the lock, which dies with its holder, is all that counts.
bool isPseudoTerminal(int descriptor) {
    // Linux gives the slaves of pseudo-terminals the eight majors from 136 on.
    constexpr unsigned kFirstSlaveMajor = 136;
    constexpr unsigned kSlaveMajors = 8;
    struct stat status {};
    return ::fstat(descriptor, &status) == 0 && S_ISCHR(status.st_mode) &&
           major(status.st_rdev) - kFirstSlaveMajor < kSlaveMajors;
}

bool applyBlockLineSettings(int descriptor) {
    termios settings{};
    if (tcgetattr(descriptor, &settings) != 0) {
        return false;
    }
    cfmakeraw(&settings);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= static_cast<tcflag_t>(CS8 | CLOCAL | CREAD);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, B460800) != 0 || cfsetospeed(&settings, B460800) != 0 ||
        tcsetattr(descriptor, TCSANOW, &settings) != 0) {
        return false;
    }
    // tcsetattr succeeds when any part took effect; a UART that cannot run at 460800 keeps
    // another speed, which is a port the block cannot use.
    termios applied{};
    return tcgetattr(descriptor, &applied) == 0 && cfgetospeed(&applied) == B460800 &&
           cfgetispeed(&applied) == B460800 &&
           (applied.c_cflag & static_cast<tcflag_t>(CSIZE)) == static_cast<tcflag_t>(CS8) &&
           (applied.c_cflag & static_cast<tcflag_t>(PARENB | CSTOPB | CRTSCTS)) == 0;
}

}  // namespace

PosixSerialPort::~PosixSerialPort() {
    // The exclusive mode outlives this descriptor while the device stays open elsewhere (a
    // pseudo-terminal's other side), which would lock us out of our own next open.
    ::ioctl(descriptor_, TIOCNXCL);
    ::close(descriptor_);
}

std::size_t PosixSerialPort::write(const std::uint8_t* bytes, std::size_t count) {
    const auto deadline =
        SteadyClock::now() + timeBudget(kWriteTotalConstant, kWriteTotalPerByte, count);
    std::size_t sent = 0;
    while (sent < count) {
        const ssize_t written = ::write(descriptor_, bytes + sent, count - sent);
        if (written > 0) {
            sent += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno == EAGAIN &&
            (waitFor(descriptor_, POLLOUT, deadline) & POLLOUT) != 0) {
            continue;
        }
        break;
    }
    return sent;
}

std::size_t PosixSerialPort::read(std::uint8_t* bytes, std::size_t count) {
    const auto totalDeadline =
        SteadyClock::now() + timeBudget(kReadTotalConstant, kReadTotalPerByte, count);
    auto deadline = totalDeadline;
    std::size_t received = 0;
    while (received < count) {
        const short events = waitFor(descriptor_, POLLIN, deadline);
        if (events == 0) {
            break;
        }
        if ((events & POLLIN) != 0) {
            const ssize_t got = ::read(descriptor_, bytes + received, count - received);
            if (got > 0) {
                received += static_cast<std::size_t>(got);
                deadline = std::min(totalDeadline, SteadyClock::now() + kReadInterval);
                continue;
            }
            // A signal or a spurious wake-up tries again; end of file or an error means the
            // device went away.
            if (got < 0 && (errno == EINTR || errno == EAGAIN) && (events & kGone) == 0) {
                continue;
            }
        }
        break;
    }
    return received;
}

std::size_t PosixSerialPort::available() {
    int queued = 0;
    if (::ioctl(descriptor_, FIONREAD, &queued) != 0 || queued < 0) {
        return 0;
    }
    return static_cast<std::size_t>(queued);
}

std::size_t PosixSerialPort::availableWithin(unsigned milliseconds) {
    pollfd waiting{descriptor_, POLLIN, 0};
    while (::poll(&waiting, 1, static_cast<int>(milliseconds)) < 0 && errno == EINTR) {
    }
    return available();
}

bool PosixSerialPort::requestLowLatency() {
    // Any user may set this flag on a port they have open; a pseudo-terminal has no such
    // settings at all.
    serial_struct settings{};
    if (::ioctl(descriptor_, TIOCGSERIAL, &settings) != 0) {
        return false;
    }
    settings.flags = static_cast<int>(static_cast<unsigned>(settings.flags) | ASYNC_LOW_LATENCY);
    return ::ioctl(descriptor_, TIOCSSERIAL, &settings) == 0;
}

std::uint64_t PosixSerialPort::lineErrors() {
    serial_icounter_struct counts{};
    if (::ioctl(descriptor_, TIOCGICOUNT, &counts) != 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(counts.frame) + static_cast<std::uint64_t>(counts.overrun) +
           static_cast<std::uint64_t>(counts.parity) + static_cast<std::uint64_t>(counts.brk) +
           static_cast<std::uint64_t>(counts.buf_overrun);
}

OpenedPort openPosixSerialPort(const std::string& deviceName) {
    return openPosixSerialPortAt(AT_FDCWD, deviceName);
}

OpenedPort openPosixSerialPortAt(int directory, const std::string& name) {
    const int descriptor =
        ::openat(directory, name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return {};
    }
    // Root passes TIOCEXCL, so the lock is what keeps a second opener out.
    const bool pseudoTerminal = isPseudoTerminal(descriptor);
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0 ||
        (!pseudoTerminal && isHeldExclusively(descriptor)) ||
        isOwnControllingTerminal(descriptor)) {
        ::close(descriptor);
        return {};
    }
    if (!pseudoTerminal) {
        ::ioctl(descriptor, TIOCEXCL);
    }

    OpenedPort opened{OpenStatus::NotConfigurable, std::make_unique<PosixSerialPort>(descriptor)};
    if (!applyBlockLineSettings(descriptor)) {
        return opened;
    }
    // Pseudo-terminals have no modem lines; that leaves nothing to switch off.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(descriptor, TIOCMBIC, &lines);
    // A Windows port starts with empty queues; bytes left from before must not pose as a reply.
    tcflush(descriptor, TCIFLUSH);
    opened.status = OpenStatus::Ready;
    return opened;
}

}  // namespace kelvra::platform
