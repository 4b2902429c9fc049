#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/SimulatorProcess.h"
#include "tests/support/blocksim_bytes.h"
#include "tools/blocksim/Scenario.h"

namespace kelvra::test {
namespace {

using namespace std::chrono_literals;

const std::string kPairScenario = std::string(KELVRA_SCENARIO_DIR) + "/pair.json";

// The published link opened as the tool would: read-write, raw.
class RawTerminal {
public:
    explicit RawTerminal(const std::string& path)
        : descriptor_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        termios settings{};
        if (descriptor_ >= 0 && ::tcgetattr(descriptor_, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(descriptor_, TCSANOW, &settings);
        }
    }
    ~RawTerminal() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }

    void write(const Bytes& bytes) {
        ASSERT_EQ(::write(descriptor_, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    // Up to `count` bytes, waiting at most `timeout` in all.
    Bytes read(std::size_t count, std::chrono::milliseconds timeout = 2s) {
        Bytes bytes;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (bytes.size() < count && std::chrono::steady_clock::now() < deadline) {
            pollfd readable{descriptor_, POLLIN, 0};
            if (::poll(&readable, 1, 10) <= 0) {
                continue;
            }
            std::uint8_t buffer[4096];
            const ssize_t got =
                ::read(descriptor_, buffer, std::min(sizeof buffer, count - bytes.size()));
            if (got <= 0) {
                break;  // hung up
            }
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        return bytes;
    }

private:
    int descriptor_;
};

std::string linkTarget(const std::string& path) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(path, error);
    return error ? std::string() : target.string();
}

bool linkExists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

// kelvra-blocksim serving `scenarioPath` in a private port directory.
SimulatorProcess::Options simulatorFor(const std::string& scenarioPath) {
    SimulatorProcess::Options options;
    options.binary = KELVRA_BLOCKSIM_PATH;
    options.scenarioPath = scenarioPath;
    return options;
}

Bytes helloOf(const blocksim::BlockSetup& setup) {
    blocksim::BlockModel model(setup);
    return replyTo(model, {0x00});
}

class BlocksimPty : public ::testing::Test {
protected:
    void SetUp() override {
        scenario = blocksim::loadScenario(kPairScenario);
        ASSERT_TRUE(simulator.waitReady()) << "no READY";
    }

    const blocksim::BlockSetup& blockOn(int com) const {
        for (const auto& block : scenario.blocks) {
            if (block.com == com) {
                return block.setup;
            }
        }
        throw std::logic_error("no block on that port");
    }

    blocksim::Scenario scenario;
    SimulatorProcess simulator{simulatorFor(kPairScenario)};
};

TEST_F(BlocksimPty, PublishesEveryBlockAndServesHelloAndAStream) {
    ASSERT_EQ(simulator.lines().size(), 3u);
    EXPECT_EQ(simulator.lines()[0].rfind("COM3 /dev/pts/", 0), 0u);
    EXPECT_EQ(simulator.lines()[1].rfind("COM4 /dev/pts/", 0), 0u);
    EXPECT_EQ(linkTarget(simulator.comLink(3)), simulator.lines()[0].substr(5));
    EXPECT_EQ(std::filesystem::status(simulator.portDirectory()).permissions() &
                  std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    RawTerminal port(simulator.comLink(3));
    ASSERT_TRUE(port.isOpen());
    port.write({0x00});
    EXPECT_EQ(port.read(9), helloOf(blockOn(3)));

    port.write({0x13, 1, 0, 0, 0});
    port.write({3});
    Bytes expected = recordBytes(blockOn(3), 1, 0, 0, 3 * 512);
    expected.push_back(0x0E);
    EXPECT_EQ(port.read(expected.size()), expected);
    EXPECT_TRUE(port.read(1, 100ms).empty()) << "nothing after the acknowledgement";
}

TEST_F(BlocksimPty, RepliesNobodyReadAreGoneWhenThePortIsOpenedAgain) {
    {
        RawTerminal port(simulator.comLink(4));
        port.write({0x13, 1, 0, 0, 0, 20});
        std::this_thread::sleep_for(50ms);
    }
    std::this_thread::sleep_for(100ms);
    RawTerminal port(simulator.comLink(4));
    EXPECT_TRUE(port.read(1, 200ms).empty());
    port.write({0x00});
    EXPECT_EQ(port.read(9), helloOf(blockOn(4)));
}

TEST_F(BlocksimPty, UnplugRemovesTheLinkAndBringsTheBlockBackInTheOtherSlot) {
    const std::string before = linkTarget(simulator.comLink(3));
    RawTerminal old(simulator.comLink(3));
    simulator.send("unplug COM3 300 swap");
    ASSERT_TRUE(simulator.waitForLine("UNPLUGGED COM3", 1s));
    EXPECT_FALSE(linkExists(simulator.comLink(3)));
    EXPECT_TRUE(linkExists(simulator.comLink(4)));
    EXPECT_TRUE(old.read(1, 100ms).empty());

    const auto plugged = simulator.waitForLine("PLUGGED COM3 ", 2s);
    ASSERT_TRUE(plugged);
    EXPECT_EQ(linkTarget(simulator.comLink(3)), plugged->substr(13));

    RawTerminal port(simulator.comLink(3));
    port.write({0x00});
    const Bytes hello = port.read(9);
    ASSERT_EQ(hello.size(), 9u);
    EXPECT_EQ(hello[5] & 0x02, 0) << "came back as block B";
    RawTerminal other(simulator.comLink(4));
    other.write({0x00});
    const Bytes otherHello = other.read(9);
    ASSERT_EQ(otherHello.size(), 9u);
    EXPECT_EQ(otherHello[5] & 0x02, 0x02) << "and the other block is block A now";
}

TEST_F(BlocksimPty, UnplugAfterSectorsCutsTheStream) {
    simulator.send("unplug-after COM4 2 200");
    ASSERT_TRUE(simulator.waitForLine("ok", 1s));
    RawTerminal port(simulator.comLink(4));
    port.write({0x13, 1, 0, 0, 0, 5});
    EXPECT_EQ(port.read(5 * 512 + 1, 1s), recordBytes(blockOn(4), 1, 0, 0, 2 * 512));
    ASSERT_TRUE(simulator.waitForLine("UNPLUGGED COM4", 1s));
    ASSERT_TRUE(simulator.waitForLine("PLUGGED COM4", 1s));
}

TEST_F(BlocksimPty, CommandsAreAnsweredAndExitRemovesTheLinks) {
    simulator.send("fault COM9 clear");
    EXPECT_EQ(simulator.waitForLine("error", 1s), "error: no block on COM9");
    simulator.send("fault COM3 wrong-ack hello 0x55");
    EXPECT_EQ(simulator.waitForLine("ok", 1s), "ok");
    RawTerminal port(simulator.comLink(3));
    port.write({0x00});
    EXPECT_EQ(port.read(9).back(), 0x55);

    EXPECT_EQ(simulator.stop(), 0);
    EXPECT_FALSE(linkExists(simulator.comLink(3)));
    EXPECT_FALSE(linkExists(simulator.comLink(4)));
}

TEST(BlocksimPtyStart, PublishesWineLinksWhenAsked) {
    std::string prefix = (std::filesystem::temp_directory_path() / "blocksim-wine-XXXXXX").string();
    ASSERT_NE(::mkdtemp(prefix.data()), nullptr);
    {
        SimulatorProcess::Options options = simulatorFor(kPairScenario);
        options.extraArguments = {"--wine-prefix", prefix};
        SimulatorProcess simulator(options);
        ASSERT_TRUE(simulator.waitReady());
        EXPECT_EQ(linkTarget(prefix + "/dosdevices/com3"), linkTarget(simulator.comLink(3)));
        EXPECT_EQ(linkTarget(prefix + "/dosdevices/com4"), linkTarget(simulator.comLink(4)));
        EXPECT_EQ(simulator.stop(), 0);
        EXPECT_FALSE(linkExists(prefix + "/dosdevices/com3"));
    }
    std::filesystem::remove_all(prefix);
}

TEST(BlocksimPtyStart, RejectsABadScenarioNamingTheField) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("blocksim-bad-" + std::to_string(::getpid()) + ".json"))
                                 .string();
    std::ofstream(path) << R"({"blocks": [{"com": 3, "serialYear": 18, "serialNumber": 1,
                             "firmware": 300, "role": "A"}]})";
    SimulatorProcess::Options options = simulatorFor(path);
    options.captureErrors = true;
    SimulatorProcess simulator(options);
    EXPECT_EQ(simulator.wait(2s), 2);
    EXPECT_NE(simulator.errorOutput().find("blocks[0].firmware: expected an integer 0..255"),
              std::string::npos);
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace kelvra::test
