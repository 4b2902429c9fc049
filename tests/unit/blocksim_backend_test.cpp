#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/support/blocksim_bytes.h"
#include "tools/blocksim/SimulatedSerialBackend.h"
#include "tools/blocksim/VirtualClock.h"

namespace kelvra::test {
namespace {

using blocksim::BlockSetup;
using platform::OpenStatus;
using platform::SerialPort;

BlockSetup blockSetup(std::uint16_t serialNumber, bool roleA) {
    BlockSetup setup;
    setup.serialYear = 18;
    setup.serialNumber = serialNumber;
    setup.firmware = 60;
    setup.roleA = roleA;
    blocksim::EntrySetup entry;
    entry.address = 1;
    entry.sampleRate = 21362;
    entry.duration = 2;
    setup.entries = {entry};
    return setup;
}

Bytes ask(SerialPort& port, const Bytes& request, std::size_t replyLength) {
    EXPECT_EQ(port.write(request.data(), request.size()), request.size());
    Bytes reply(replyLength);
    reply.resize(port.read(reply.data(), reply.size()));
    return reply;
}

class SimulatedBackend : public ::testing::Test {
protected:
    blocksim::VirtualClock clock;
    blocksim::SimulatedSerialBackend backend{clock};
};

TEST_F(SimulatedBackend, OpensDevicesByNameAndExclusively) {
    EXPECT_EQ(backend.deviceName(0), "SIM-COM1");
    EXPECT_EQ(backend.deviceName(28), "SIM-COM29");
    backend.addBlock("SIM-COM3", blockSetup(42, true));
    backend.addUnopenable("SIM-COM4");
    backend.addUnconfigurable("SIM-COM5");

    auto first = backend.open("SIM-COM3");
    EXPECT_EQ(first.status, OpenStatus::Ready);
    ASSERT_TRUE(first.port);
    EXPECT_TRUE(backend.isOpen("SIM-COM3"));
    EXPECT_EQ(backend.open("SIM-COM3").status, OpenStatus::Failed) << "held by the first";
    first.port.reset();
    EXPECT_FALSE(backend.isOpen("SIM-COM3"));
    EXPECT_EQ(backend.open("SIM-COM3").status, OpenStatus::Ready);

    EXPECT_EQ(backend.open("SIM-COM4").status, OpenStatus::Failed);
    EXPECT_EQ(backend.open("SIM-COM9").status, OpenStatus::Failed) << "no such device";
    const auto unconfigurable = backend.open("SIM-COM5");
    EXPECT_EQ(unconfigurable.status, OpenStatus::NotConfigurable);
    EXPECT_TRUE(unconfigurable.port);

    EXPECT_EQ(backend.openCount("SIM-COM3"), 3);
    EXPECT_EQ(backend.openCount("SIM-COM4"), 1);
    EXPECT_EQ(backend.openCount("SIM-COM9"), 1);
    EXPECT_EQ(backend.openCount("SIM-COM7"), 0);
}

TEST_F(SimulatedBackend, ShortReadsCostTheTimeOutsInVirtualTime) {
    backend.addBlock("SIM-COM3", blockSetup(42, true));
    auto port = backend.open("SIM-COM3").port;
    std::uint8_t buffer[64];

    EXPECT_EQ(ask(*port, {0x00}, 9), (Bytes{0x55, 18, 42, 0, 60, 0x02, 0, 0, 0x0E}));
    EXPECT_EQ(clock.nowMs(), 0u) << "a complete reply costs nothing";

    EXPECT_EQ(port->read(buffer, 7), 0u);
    EXPECT_EQ(clock.nowMs(), 1035u) << "nothing: 1000 + 5 * 7 ms";

    EXPECT_EQ(port->write(Bytes{0x00}.data(), 1), 1u);
    EXPECT_EQ(port->read(buffer, 20), 9u);
    EXPECT_EQ(clock.nowMs(), 1235u) << "a short reply ends 200 ms after its last byte";
}

TEST_F(SimulatedBackend, ConstantResponderAndUnconfigurableDevice) {
    backend.addConstantResponder("SIM-COM5", 0x42);
    backend.addUnconfigurable("SIM-COM6");
    auto responder = backend.open("SIM-COM5").port;
    EXPECT_EQ(ask(*responder, {0x00}, 1), Bytes{0x42});
    EXPECT_EQ(ask(*responder, Bytes(17, 0x06), 2), Bytes{0x42}) << "one answer per write";

    auto unconfigurable = backend.open("SIM-COM6").port;
    EXPECT_TRUE(ask(*unconfigurable, {0x00}, 1).empty());
}

TEST_F(SimulatedBackend, ClosingAPortLosesWhatWasNotRead) {
    backend.addBlock("SIM-COM3", blockSetup(42, true));
    auto port = backend.open("SIM-COM3").port;
    EXPECT_EQ(port->write(Bytes{0x00}.data(), 1), 1u);
    port.reset();
    port = backend.open("SIM-COM3").port;
    std::uint8_t byte = 0;
    EXPECT_EQ(port->read(&byte, 1), 0u);
}

TEST_F(SimulatedBackend, UnpluggedDeviceIsGoneAndItsOldPortStaysDead) {
    backend.addBlock("SIM-COM3", blockSetup(42, true));
    auto before = backend.open("SIM-COM3").port;
    backend.unplug("SIM-COM3");
    EXPECT_FALSE(backend.isPlugged("SIM-COM3"));
    const std::uint8_t hello = 0x00;
    std::uint8_t reply[9];
    EXPECT_EQ(before->write(&hello, 1), 0u);
    EXPECT_EQ(before->read(reply, 9), 0u);
    EXPECT_EQ(backend.open("SIM-COM3").status, OpenStatus::Failed);

    backend.plug("SIM-COM3");
    auto after = backend.open("SIM-COM3");
    ASSERT_EQ(after.status, OpenStatus::Ready) << "the dead port does not hold the device";
    EXPECT_EQ(before->write(&hello, 1), 0u);
    EXPECT_EQ(before->read(reply, 9), 0u);
    EXPECT_EQ(ask(*after.port, {0x00}, 9).size(), 9u);
    before.reset();
    EXPECT_TRUE(backend.isOpen("SIM-COM3")) << "closing the dead port leaves the new one";
}

TEST_F(SimulatedBackend, TimedUnplugReturnsInTheOtherSlot) {
    backend.addBlock("SIM-COM3", blockSetup(42, true));
    backend.addBlock("SIM-COM4", blockSetup(43, false));
    backend.unplug("SIM-COM3", 3000, true);
    clock.advance(2999);
    EXPECT_EQ(backend.open("SIM-COM3").status, OpenStatus::Failed);
    clock.advance(1);
    auto a = backend.open("SIM-COM3").port;
    auto b = backend.open("SIM-COM4").port;
    ASSERT_TRUE(a);
    EXPECT_EQ(ask(*a, {0x00}, 9)[5], 0x00) << "the first block comes back as block B";
    EXPECT_EQ(ask(*b, {0x00}, 9)[5], 0x02) << "and the other one turns into block A";
}

TEST_F(SimulatedBackend, UnplugFaultTakesTheBlockAwayOnceItsSectorsWereRead) {
    BlockSetup setup = blockSetup(42, true);
    setup.faults.unplug = blocksim::UnplugFault{3, 5000, false};
    backend.addBlock("SIM-COM3", setup);
    auto port = backend.open("SIM-COM3").port;
    const Bytes request = {0x13, 1, 0, 0, 0, 20};
    ASSERT_EQ(port->write(request.data(), request.size()), request.size());

    Bytes sector(512);
    EXPECT_EQ(port->read(sector.data(), sector.size()), 512u);
    EXPECT_EQ(port->read(sector.data(), sector.size()), 512u);
    EXPECT_TRUE(backend.isPlugged("SIM-COM3"));
    EXPECT_EQ(port->read(sector.data(), sector.size()), 512u);
    EXPECT_FALSE(backend.isPlugged("SIM-COM3")) << "gone once the third sector was read";
    EXPECT_EQ(port->read(sector.data(), sector.size()), 0u);
    EXPECT_EQ(clock.nowMs(), 3560u);
    clock.advance(1440);
    EXPECT_TRUE(backend.isPlugged("SIM-COM3"));
    port = backend.open("SIM-COM3").port;
    ASSERT_TRUE(port);
    EXPECT_EQ(ask(*port, request, 20 * 512 + 1).size(), 20 * 512 + 1u) << "fires once";
}

TEST_F(SimulatedBackend, LineFaultArmedByPortNameHitsOnlyThatBlock) {
    backend.addBlock("SIM-COM3", blockSetup(42, true));
    backend.addBlock("SIM-COM4", blockSetup(43, false));
    backend.armLineFault("SIM-COM3",
                         blocksim::LineFault{blocksim::LineFault::Kind::Cut, 1, 100, 0x5A, 1});
    auto port = backend.open("SIM-COM3").port;
    auto other = backend.open("SIM-COM4").port;
    const Bytes request = {0x13, 1, 0, 0, 0, 3};
    EXPECT_EQ(ask(*other, request, 3 * 512 + 1).size(), 3 * 512 + 1u);
    EXPECT_EQ(ask(*port, request, 3 * 512 + 1),
              recordBytes(backend.setup("SIM-COM3"), 1, 0, 0, 512 + 100));
    EXPECT_EQ(ask(*port, {0x00}, 9).size(), 9u);
}

TEST_F(SimulatedBackend, WorkerReadsWhileTheTestUnplugs) {
    backend.addBlock("SIM-COM3", blockSetup(42, true));
    auto port = backend.open("SIM-COM3").port;
    std::atomic<int> sectors{0};
    std::thread worker([&] {
        const Bytes request = {0x13, 1, 0, 0, 0, 1};
        Bytes reply(513);
        while (port->write(request.data(), request.size()) == request.size() &&
               port->read(reply.data(), reply.size()) == reply.size()) {
            ++sectors;
        }
    });
    while (sectors < 50) {
        std::this_thread::yield();
    }
    backend.unplug("SIM-COM3");
    worker.join();
    EXPECT_GE(sectors.load(), 50);
    EXPECT_FALSE(backend.isOpen("SIM-COM3"));
}

TEST(VirtualClock, LocalTimeRunsWithTheVirtualMilliseconds) {
    blocksim::VirtualClock clock;
    clock.setLocalTime({2018, 12, 31, 23, 59, 58});
    clock.advance(1999);
    EXPECT_EQ(clock.localTime().second, 59);
    clock.advance(1);
    const platform::LocalTime newYear = clock.localTime();
    EXPECT_EQ(newYear.year, 2019);
    EXPECT_EQ(newYear.month, 1);
    EXPECT_EQ(newYear.day, 1);
    EXPECT_EQ(newYear.hour, 0);
    EXPECT_EQ(newYear.minute, 0);
    EXPECT_EQ(newYear.second, 0);

    clock.setLocalTime({2020, 2, 28, 23, 59, 59});
    clock.advance(1000);
    EXPECT_EQ(clock.localTime().day, 29);
    clock.advance(86400 * 1000);
    EXPECT_EQ(clock.localTime().month, 3);
    EXPECT_EQ(clock.localTime().day, 1);
}

}  // namespace
}  // namespace kelvra::test
