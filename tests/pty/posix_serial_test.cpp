#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/PosixSerialPort.h"
#include "platform/serial/SerialPort.h"
#include "tests/support/PrivateRuntimeDir.h"

namespace kelvra::platform {
namespace {

using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

long long millisecondsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
        .count();
}

// The block's side of a pseudo-terminal; the port under test opens the other side by name.
class PeerTerminal {
public:
    PeerTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        char name[128] = {};
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            ptsname_r(master_, name, sizeof name) != 0) {
            ADD_FAILURE() << "no pseudo-terminal";
        }
        deviceName_ = name;
    }
    ~PeerTerminal() { hangUp(); }

    const std::string& deviceName() const { return deviceName_; }

    void send(const std::vector<std::uint8_t>& bytes) const {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Collects what the port sent, waiting up to a second for `count` bytes.
    std::vector<std::uint8_t> receive(std::size_t count) const {
        std::vector<std::uint8_t> bytes;
        const auto start = SteadyClock::now();
        while (bytes.size() < count && millisecondsSince(start) < 1000) {
            pollfd watched{master_, POLLIN, 0};
            if (::poll(&watched, 1, 100) == 1) {
                std::uint8_t chunk[512];
                const ssize_t got = ::read(master_, chunk, sizeof chunk);
                if (got <= 0) {
                    break;
                }
                bytes.insert(bytes.end(), chunk, chunk + got);
            }
        }
        return bytes;
    }

    // A pseudo-terminal's master reports the line settings of the side the port opened.
    termios lineSettings() const {
        termios line{};
        EXPECT_EQ(tcgetattr(master_, &line), 0);
        return line;
    }

    void hangUp() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

private:
    int master_ = -1;
    std::string deviceName_;
};

std::unique_ptr<SerialPort> openReady(const std::string& deviceName) {
    OpenedPort opened = openPosixSerialPort(deviceName);
    EXPECT_EQ(opened.status, OpenStatus::Ready);
    return std::move(opened.port);
}

TEST(PosixSerialRead, ReturnsAsSoonAsAllBytesCameAndNothingFromBeforeTheOpen) {
    PeerTerminal peer;
    peer.send({0xEE, 0xEE, 0xEE});  // left over from an earlier user of the line
    auto port = openReady(peer.deviceName());
    ASSERT_TRUE(port);

    // Carriage return, XON, XOFF, interrupt, erase and end-of-file pass as plain bytes.
    const std::vector<std::uint8_t> sent = {0x55, 0x0D, 0x11, 0x13, 0x03, 0x7F, 0x04, 0xFF, 0x0E};
    peer.send(sent);
    std::vector<std::uint8_t> got(sent.size());
    const auto start = SteadyClock::now();
    EXPECT_EQ(port->read(got.data(), got.size()), sent.size());
    EXPECT_LT(millisecondsSince(start), 150);
    EXPECT_EQ(got, sent);
}

TEST(PosixSerialRead, EndsTwoHundredMillisecondsAfterTheLastByte) {
    PeerTerminal peer;
    auto port = openReady(peer.deviceName());
    ASSERT_TRUE(port);

    // Gaps shorter than the interval keep the read going; it ends 200 ms after the third byte.
    std::thread sender([&peer] {
        peer.send({0x10});
        std::this_thread::sleep_for(120ms);
        peer.send({0x11});
        std::this_thread::sleep_for(120ms);
        peer.send({0x12});
    });
    std::uint8_t got[50] = {};
    const auto start = SteadyClock::now();
    const std::size_t count = port->read(got, sizeof got);
    const long long elapsed = millisecondsSince(start);
    sender.join();

    EXPECT_EQ(count, 3u);
    EXPECT_EQ(got[0], 0x10);
    EXPECT_EQ(got[2], 0x12);
    EXPECT_GE(elapsed, 390);
    EXPECT_LE(elapsed, 700);
}

TEST(PosixSerialRead, FromASilentPeerTakesTheWholeTotalTime) {
    PeerTerminal peer;
    auto port = openReady(peer.deviceName());
    ASSERT_TRUE(port);

    std::uint8_t got[60];
    const auto start = SteadyClock::now();
    EXPECT_EQ(port->read(got, sizeof got), 0u);
    const long long elapsed = millisecondsSince(start);  // 1000 + 5 * 60 ms
    EXPECT_GE(elapsed, 1250);
    EXPECT_LE(elapsed, 1550);
}

TEST(PosixSerialRead, EndsWithTheBytesSoFarWhenThePeerVanishes) {
    PeerTerminal peer;
    auto port = openReady(peer.deviceName());
    ASSERT_TRUE(port);

    SteadyClock::time_point hungUp;
    std::thread vanisher([&] {
        peer.send({0x21, 0x22, 0x23, 0x24});
        std::this_thread::sleep_for(60ms);
        hungUp = SteadyClock::now();
        peer.hangUp();
    });
    std::uint8_t got[100] = {};
    const std::size_t count = port->read(got, sizeof got);
    const auto ended = SteadyClock::now();
    vanisher.join();

    EXPECT_EQ(count, 4u);
    EXPECT_EQ(got[3], 0x24);
    // Well before the 200 ms interval after the last byte would have ended it.
    EXPECT_LT(ended - hungUp, 100ms);

    // A vanished device answers at once, neither hanging nor pretending to accept bytes.
    const auto start = SteadyClock::now();
    EXPECT_EQ(port->read(got, 10), 0u);
    const std::uint8_t hello[] = {0x00};
    EXPECT_EQ(port->write(hello, 1), 0u);
    EXPECT_LT(millisecondsSince(start), 100);
}

TEST(PosixSerialWrite, PutsEveryByteOnTheLineAndReturnsTheCount) {
    PeerTerminal peer;
    auto port = openReady(peer.deviceName());
    ASSERT_TRUE(port);

    std::vector<std::uint8_t> frame(300);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<std::uint8_t>(i * 7);  // includes 0x0A, 0x0D, 0x11, 0x13, 0x7F
    }
    EXPECT_EQ(port->write(frame.data(), frame.size()), frame.size());
    EXPECT_EQ(peer.receive(frame.size()), frame);
}

TEST(PosixSerialOpen, HoldsThePortExclusivelyUntilClosed) {
    PeerTerminal peer;
    auto first = openReady(peer.deviceName());
    ASSERT_TRUE(first);

    OpenedPort second = openPosixSerialPort(peer.deviceName());
    EXPECT_EQ(second.status, OpenStatus::Failed);
    EXPECT_FALSE(second.port);

    first.reset();
    // The exclusive mode goes with the port, so neither we nor others are locked out after it.
    const int probe = ::open(peer.deviceName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(probe, 0);
    int exclusive = 1;
    EXPECT_EQ(::ioctl(probe, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    ::close(probe);
    EXPECT_TRUE(openReady(peer.deviceName()));
}

TEST(PosixSerialOpen, SetsRaw8N1At460800WithoutFlowControl) {
    PeerTerminal peer;
    auto port = openReady(peer.deviceName());
    ASSERT_TRUE(port);

    const termios line = peer.lineSettings();
    EXPECT_EQ(cfgetispeed(&line), B460800);
    EXPECT_EQ(cfgetospeed(&line), B460800);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_cc[VMIN], 0);
    EXPECT_EQ(line.c_cc[VTIME], 0);
}

TEST(PosixSerialOpen, RefusesAPortAnotherProgramHolds) {
    PeerTerminal peer;
    const int holder = ::open(peer.deviceName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    OpenedPort opened = openPosixSerialPort(peer.deviceName());
    EXPECT_EQ(opened.status, OpenStatus::Failed);
    EXPECT_FALSE(opened.port);
    ::close(holder);
}

// A pseudo-terminal keeps its exclusive mode while its master is open, also once the program
// that set it was killed; the lock dies with it.
TEST(PosixSerialOpen, APseudoTerminalHeldByAKilledProgramOpensAgain) {
    PeerTerminal peer;
    for (const bool byKelvra : {true, false}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (byKelvra) {
                const OpenedPort held = openPosixSerialPort(peer.deviceName());
                if (held.status != OpenStatus::Ready) {
                    _exit(1);
                }
            } else {
                const int fd = ::open(peer.deviceName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                if (fd < 0 || ::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX) != 0) {
                    _exit(1);
                }
            }
            ::raise(SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the holder did not open the port";
        EXPECT_TRUE(openReady(peer.deviceName())) << (byKelvra ? "Kelvra" : "another program");
    }
}

TEST(PosixSerialOpen, AFileThatIsNoTerminalOpensButCannotBeConfigured) {
    for (const std::string& name :
         {std::string("/dev/null"), (std::filesystem::temp_directory_path() /
                                     ("kelvra-not-a-tty-" + std::to_string(getpid())))
                                        .string()}) {
        if (name != "/dev/null") {
            const int created = ::open(name.c_str(), O_CREAT | O_WRONLY, 0600);
            ASSERT_GE(created, 0);
            ::close(created);
        }
        OpenedPort opened = openPosixSerialPort(name);
        EXPECT_EQ(opened.status, OpenStatus::NotConfigurable) << name;
        EXPECT_TRUE(opened.port) << name;
        if (name != "/dev/null") {
            std::filesystem::remove(name);
        }
    }
}

TEST(PosixSerialOpen, AMissingDeviceFailsAndIsNotCreated) {
    const auto missing = std::filesystem::temp_directory_path() /
                         ("kelvra-no-such-port-" + std::to_string(getpid()));
    OpenedPort opened = openPosixSerialPort(missing.string());
    EXPECT_EQ(opened.status, OpenStatus::Failed);
    EXPECT_FALSE(opened.port);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(PosixSerialOpen, RefusesTheTerminalOfItsOwnSession) {
    PeerTerminal peer;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A new session whose controlling terminal is the pseudo-terminal, like a login shell.
        if (setsid() < 0 || ::open(peer.deviceName().c_str(), O_RDWR) < 0) {
            _exit(2);
        }
        _exit(openPosixSerialPort(peer.deviceName()).status == OpenStatus::Failed ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

struct PortDirectoryPaths {
    std::string runtime;
    std::string kelvra;
    std::string ports;
    std::string link;
};

// The user's port directory with COM3 leading to the peer, as the simulator publishes a block.
class BlockPortDirectory : public ::testing::Test {
protected:
    void SetUp() override {
        paths_.runtime = runtime_.path();
        paths_.kelvra = paths_.runtime + "/kelvra";
        paths_.ports = paths_.kelvra + "/ports";
        paths_.link = paths_.ports + "/COM3";
        ASSERT_EQ(::mkdir(paths_.kelvra.c_str(), 0700), 0);
        ASSERT_EQ(::mkdir(paths_.ports.c_str(), 0700), 0);
        ASSERT_EQ(::symlink(peer_.deviceName().c_str(), paths_.link.c_str()), 0);
    }

    test::PrivateRuntimeDir runtime_;
    PeerTerminal peer_;
    PortDirectoryPaths paths_;
};

TEST_F(BlockPortDirectory, ALinkInAPrivateDirectoryLeadsToItsDevice) {
    SerialBackend& backend = systemSerialBackend();
    ASSERT_EQ(backend.deviceName(2), paths_.link);
    OpenedPort opened = backend.open(paths_.link);
    ASSERT_EQ(opened.status, OpenStatus::Ready);

    const std::uint8_t hello = 0x5A;
    EXPECT_EQ(opened.port->write(&hello, 1), 1u);
    EXPECT_EQ(peer_.receive(1), std::vector<std::uint8_t>{0x5A});
}

// What someone else could do to the port directory after its link was handed out as a name.
struct Tampering {
    const char* name;
    std::function<void(const PortDirectoryPaths&)> apply;
};

void PrintTo(const Tampering& tampering, std::ostream* out) {
    *out << tampering.name;
}

class BlockPortDirectoryTampered : public BlockPortDirectory,
                                   public ::testing::WithParamInterface<Tampering> {};

TEST_P(BlockPortDirectoryTampered, ItsLinkIsNeitherNamedNorOpened) {
    SerialBackend& backend = systemSerialBackend();
    const std::string handedOut = backend.deviceName(2);
    ASSERT_EQ(handedOut, paths_.link);
    GetParam().apply(paths_);

    EXPECT_EQ(backend.deviceName(2), "/dev/ttyUSB2");
    OpenedPort opened = backend.open(handedOut);
    EXPECT_EQ(opened.status, OpenStatus::Failed);
    EXPECT_FALSE(opened.port);
}

std::string tamperingName(const ::testing::TestParamInfo<Tampering>& info) {
    return info.param.name;
}

// Swaps `directory` for a link to the same folder under another name, still the user's own.
void swapForALink(const std::string& directory) {
    const std::string decoy = directory + "-decoy";
    ASSERT_EQ(::rename(directory.c_str(), decoy.c_str()), 0);
    ASSERT_EQ(::symlink(decoy.c_str(), directory.c_str()), 0);
}

INSTANTIATE_TEST_SUITE_P(
    After, BlockPortDirectoryTampered,
    ::testing::Values(
        Tampering{"PortsWritableByOthers",
                  [](const PortDirectoryPaths& paths) {
                      ASSERT_EQ(::chmod(paths.ports.c_str(), 0702), 0);
                  }},
        Tampering{"PortsWritableByGroup",
                  [](const PortDirectoryPaths& paths) {
                      ASSERT_EQ(::chmod(paths.ports.c_str(), 0720), 0);
                  }},
        Tampering{"RuntimeDirectoryWritableByGroup",
                  [](const PortDirectoryPaths& paths) {
                      ASSERT_EQ(::chmod(paths.runtime.c_str(), 0770), 0);
                  }},
        Tampering{"KelvraSwappedForALink",
                  [](const PortDirectoryPaths& paths) { swapForALink(paths.kelvra); }},
        Tampering{"PortsSwappedForALink",
                  [](const PortDirectoryPaths& paths) { swapForALink(paths.ports); }}),
    tamperingName);

}  // namespace
}  // namespace kelvra::platform
