// The Win32 serial port on a real COM device: a simulated block that run_wine_unit_tests.sh
// serves on a pseudo-terminal behind a Wine dosdevices link, named by KELVRA_TEST_PORT in the
// "\\.\COM7 " form. The block answers a greeting and is silent otherwise, so the read time-outs
// show as they do on a line to a real block.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "link/BlockParams.h"
#include "link/LinkBytes.h"
#include "platform/win32/Win32SerialPort.h"

namespace kelvra::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The greeting's reply: 55, the parameters, 0E.
constexpr std::size_t kHelloReply = 1 + BlockParams::kSize + 1;

std::string testPort() {
    const char* name = std::getenv("KELVRA_TEST_PORT");
    if (name == nullptr) {
        ADD_FAILURE() << "KELVRA_TEST_PORT names no port: run through run_wine_unit_tests.sh";
        return {};
    }
    return name;
}

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

TEST(Win32SerialPort, OpensExclusively) {
    const std::string name = testPort();
    OpenedPort port = openWin32SerialPort(name);
    ASSERT_EQ(port.status, OpenStatus::Ready);
    EXPECT_EQ(openWin32SerialPort(name).status, OpenStatus::Failed) << "opened twice";
}

TEST(Win32SerialPort, LeavesTheLineAtTheBlockSettings) {
    const std::string name = testPort();
    ASSERT_EQ(openWin32SerialPort(name).status, OpenStatus::Ready);
    const HANDLE line = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(line, INVALID_HANDLE_VALUE) << "the port stayed taken after it was closed";
    DCB state{};
    state.DCBlength = sizeof state;
    EXPECT_TRUE(GetCommState(line, &state));
    CloseHandle(line);
    EXPECT_EQ(state.BaudRate, 460800u);
    EXPECT_EQ(state.ByteSize, 8);
    EXPECT_EQ(state.Parity, NOPARITY);
    EXPECT_EQ(state.StopBits, ONESTOPBIT);
}

TEST(Win32SerialPort, AReadThatGetsNothingEndsAfterItsTotalTimeOut) {
    OpenedPort port = openWin32SerialPort(testPort());
    ASSERT_EQ(port.status, OpenStatus::Ready);
    std::uint8_t bytes[100] = {};
    const Clock::time_point start = Clock::now();
    EXPECT_EQ(port.port->read(bytes, sizeof bytes), 0u);
    const long long elapsed = msSince(start);
    EXPECT_GE(elapsed, 1000 + 5 * 100 - 50) << "1000 ms and 5 ms a byte";
    EXPECT_LT(elapsed, 3000);
}

TEST(Win32SerialPort, AReplyEndsTheReadTwoHundredMillisecondsAfterItsLastByte) {
    OpenedPort port = openWin32SerialPort(testPort());
    ASSERT_EQ(port.status, OpenStatus::Ready);
    const std::uint8_t hello = CmdHello;
    ASSERT_EQ(port.port->write(&hello, 1), 1u);
    std::uint8_t reply[200] = {};
    const Clock::time_point start = Clock::now();
    ASSERT_EQ(port.port->read(reply, sizeof reply), kHelloReply);
    const long long elapsed = msSince(start);
    EXPECT_EQ(reply[0], ReplyHello);
    EXPECT_EQ(reply[kHelloReply - 1], ReplyAck);
    EXPECT_GE(elapsed, 200 - 50) << "the interval time-out";
    EXPECT_LT(elapsed, 1000) << "the read waited for its total time-out, 2000 ms";
}

TEST(Win32SerialPort, CountsWhatWaitsWithoutWaiting) {
    OpenedPort port = openWin32SerialPort(testPort());
    ASSERT_EQ(port.status, OpenStatus::Ready);
    EXPECT_EQ(port.port->available(), 0u);
    const std::uint8_t hello = CmdHello;
    ASSERT_EQ(port.port->write(&hello, 1), 1u);
    const Clock::time_point start = Clock::now();
    while (port.port->available() < kHelloReply && msSince(start) < 2000) {
        Sleep(10);
    }
    EXPECT_EQ(port.port->available(), kHelloReply);
    std::uint8_t reply[kHelloReply] = {};
    EXPECT_EQ(port.port->read(reply, kHelloReply), kHelloReply);
    EXPECT_EQ(port.port->available(), 0u);
}

}  // namespace
}  // namespace kelvra::platform
