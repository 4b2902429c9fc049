#include <gtest/gtest.h>

#include "tests/support/StationFixture.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::headless::MessageBoxRecord;

class Discovery : public test::StationFixture {};

// Hello, the 17-byte pairing frame (0x06, the sub-command in byte 6, zeros elsewhere), hello.
Bytes pairingThenHello(std::uint8_t subCommand) {
    Bytes bytes{0x00, 0x06, 0, 0, 0, 0, 0, subCommand};
    bytes.resize(1 + 17, 0x00);
    bytes.push_back(0x00);
    return bytes;
}

TEST_F(Discovery, StartsWithEmptyListAndPanelsAndHiddenBar) {
    addBlock(3, block(18, 42, 42, true));
    start();
    EXPECT_TRUE(listLines().empty());
    for (int id : {IDC_SERIAL_A, IDC_FIRMWARE_A, IDC_SERIAL_B, IDC_FIRMWARE_B}) {
        EXPECT_EQ(label(id), "") << id;
    }
    EXPECT_FALSE(window->IsItemVisible(IDC_PROGRESS));
    EXPECT_EQ(driver.timerPeriod(*window, kMonitorTimer), std::optional<unsigned>(1000));
    EXPECT_TRUE(takeReceived(3).empty()) << "discovery starts with the first tick";
}

TEST_F(Discovery, FindsBothBlocksInOneTickAndPairsTheSecond) {
    addBlock(3, block(18, 7, 42, false));  // block B, greeted first
    addBlock(7, block(18, 42, 42, true));  // block A, greeted second
    start();
    tick();
    ASSERT_TRUE(window->slotA.present);
    ASSERT_TRUE(window->slotB.present);
    EXPECT_EQ(window->slotA.portIndex, 6);
    EXPECT_EQ(window->slotB.portIndex, 2);
    // Block B alone was placed and listed, then block A after pairing with sub-command 1,
    // and the list was read again from both; the tick ends with both pinged.
    EXPECT_EQ(takeReceived(3), (Bytes{0x00, 0x01, 0x01, 0x00}));
    Bytes expectedA = pairingThenHello(1);
    expectedA.insert(expectedA.end(), {0x01, 0x00});
    EXPECT_EQ(takeReceived(7), expectedA);
    EXPECT_EQ(label(IDC_SERIAL_A), "S/N:   2018-042");
    EXPECT_EQ(label(IDC_FIRMWARE_A), "Прошивка:  4.2");
    EXPECT_EQ(label(IDC_SERIAL_B), "S/N:   2018-007");
}

TEST_F(Discovery, PairsWithSubCommandTwoWhenBlockAIsPresent) {
    addBlock(2, block(18, 42, 42, true));
    addBlock(12, block(19, 5, 10, false));
    start();
    tick();
    EXPECT_EQ(window->slotB.portIndex, 11) << "COM12 is port index 11";
    Bytes expectedB = pairingThenHello(2);
    expectedB.insert(expectedB.end(), {0x01, 0x00});
    EXPECT_EQ(takeReceived(12), expectedB);
    EXPECT_EQ(label(IDC_SERIAL_B), "S/N:   2019-005");
    EXPECT_EQ(label(IDC_FIRMWARE_B), "Прошивка:  1.0");
}

TEST_F(Discovery, SetsBlockAsClockOnceOnTheNextTick) {
    addBlock(3, block(18, 42, 42, true));
    addBlock(4, block(18, 43, 42, false));
    clock.setLocalTime({2026, 12, 7, 23, 59, 8});
    start();
    tick();
    EXPECT_FALSE(backend.setup(port(3)).clock.has_value());
    takeReceived(3);
    takeReceived(4);
    tick();
    // The clock is taken at the tick (two virtual seconds after it was set), then both pinged.
    EXPECT_EQ(takeReceived(3), (Bytes{0x05, 0x10, 0x59, 0x23, 0x07, 0x12, 0x26, 0x00}));
    EXPECT_EQ(takeReceived(4), Bytes{0x00});

    backend.unplug(port(3));
    backend.unplug(port(4));
    tick();
    EXPECT_FALSE(window->slotA.present);
    backend.plug(port(3));
    backend.plug(port(4));
    tick(3);
    EXPECT_TRUE(window->slotA.present && window->slotB.present);
    for (std::uint8_t byte : takeReceived(3)) {
        EXPECT_NE(byte, 0x05) << "the clock is set once per run";
    }
}

TEST_F(Discovery, SetsTheClockAsTheSecondInItBegins) {
    addBlock(3, block(18, 42, 42, true));
    addBlock(4, block(18, 43, 42, false));
    clock.setLocalTime({2026, 12, 7, 23, 59, 8});
    const std::uint64_t setAt = clock.nowMs();
    // The heartbeat runs 370 ms behind the computer's seconds.
    clock.advance(370);
    start();
    tick(2);
    const auto frame = backend.setup(port(3)).clock;
    const auto receivedAt = backend.clockSetAtMs(port(3));
    ASSERT_TRUE(frame.has_value() && receivedAt.has_value());
    EXPECT_EQ(*frame, blocksim::bcdDateTime(2026, 12, 7, 23, 59, 11));
    // The block received the frame at the very moment its second began.
    EXPECT_EQ(*receivedAt, setAt + 3000);
}

TEST_F(Discovery, ALostPingClosesBothSlotsAndTheBlockReturnsNextTick) {
    addBlock(3, block(18, 42, 42, true));
    addBlock(4, block(18, 43, 42, false));
    start();
    tick(2);
    backend.unplug(port(4));
    tick();
    EXPECT_FALSE(window->slotA.present);
    EXPECT_FALSE(window->slotB.present);
    EXPECT_EQ(window->slotA.portIndex, kNoPort);
    EXPECT_EQ(label(IDC_SERIAL_A), "");
    EXPECT_FALSE(backend.isOpen(port(3))) << "block A's port is closed too";
    tick();
    EXPECT_TRUE(window->slotA.present);
    EXPECT_FALSE(window->slotB.present);
    EXPECT_EQ(label(IDC_SERIAL_A), "S/N:   2018-042");
}

TEST_F(Discovery, RenewsPortFlagsOnTheFirstScanningTickAndEveryEleventh) {
    backend.addConstantResponder(port(5), 0x42);  // answers, but not as a block
    backend.addUnopenable(port(6));
    start();
    tick();
    EXPECT_EQ(window->linkMonitor().rescanCountdown(), 10);
    EXPECT_FALSE(window->linkMonitor().portWorthTrying(4));
    EXPECT_TRUE(window->linkMonitor().portWorthTrying(5));
    tick(10);
    EXPECT_EQ(backend.openCount(port(5)), 1) << "a wrong answer is left until renewal";
    EXPECT_EQ(backend.openCount(port(6)), 11) << "an unopenable port is tried every tick";
    tick();
    EXPECT_EQ(backend.openCount(port(5)), 2);
    EXPECT_EQ(window->linkMonitor().rescanCountdown(), 10);
}

TEST_F(Discovery, NoScanAndNoCountdownWhileBothArePresent) {
    addBlock(3, block(18, 42, 42, true));
    addBlock(4, block(18, 43, 42, false));
    backend.addUnopenable(port(9));
    start();
    tick();
    const int opens = backend.openCount(port(9));
    const int countdown = window->linkMonitor().rescanCountdown();
    tick(5);
    EXPECT_EQ(backend.openCount(port(9)), opens);
    EXPECT_EQ(window->linkMonitor().rescanCountdown(), countdown);
}

TEST_F(Discovery, APortThatCannotBeConfiguredIsLeftUntilRenewal) {
    backend.addUnconfigurable(port(8));
    start();
    tick(2);
    EXPECT_EQ(backend.openCount(port(8)), 1);
    EXPECT_FALSE(backend.isOpen(port(8)));
}

TEST_F(Discovery, ASecondBlockInATakenRoleIsRefusedAndItsPortClosed) {
    addBlock(3, block(18, 42, 42, true));
    auto twin = block(18, 99, 42, true);
    addBlock(4, twin);
    start();
    // The simulated twin ignores pairing and still reports role A.
    tick();
    EXPECT_EQ(window->slotA.serialNumber, 42);
    EXPECT_FALSE(window->slotB.present);
    EXPECT_FALSE(backend.isOpen(port(4)));
}

struct FatalCase {
    const char* name;
    const char* message;
    void (*fault)(blocksim::BlockSetup&);
};

void PrintTo(const FatalCase& fatal, std::ostream* out) {
    *out << fatal.name;
}

class FatalGreeting : public test::StationFixture,
                      public ::testing::WithParamInterface<FatalCase> {};

TEST_P(FatalGreeting, ShowsOneBoxAndCloses) {
    auto setup = block(18, 42, 42, true);
    GetParam().fault(setup);
    addBlock(3, setup);
    addBlock(4, block(18, 43, 42, false));
    start();
    int ticksDuringBox = 0;
    driver.onMessageBox([&](const MessageBoxRecord&) {
        // Timer 1 keeps running while the box is up; those ticks must not act.
        ticksDuringBox += driver.fireTimer(*window, kMonitorTimer) ? 1 : 0;
        return platform::IDOK;
    });
    tick(3);
    ASSERT_EQ(driver.messageBoxes().size(), 1u);
    EXPECT_EQ(driver.messageBoxes()[0].text, GetParam().message);
    EXPECT_EQ(driver.messageBoxes()[0].buttons(), platform::MB_OK);
    EXPECT_EQ(driver.messageBoxes()[0].icon(), platform::MB_ICONEXCLAMATION);
    EXPECT_TRUE(driver.hasEnded(*window));
}

INSTANTIATE_TEST_SUITE_P(
    Discovery, FatalGreeting,
    ::testing::Values(FatalCase{"ShortParameters", "Cannot read parameters",
                                [](blocksim::BlockSetup& setup) { setup.faults.shortParams = 3; }},
                      FatalCase{"WrongHelloAck", "No Acknowledge",
                                [](blocksim::BlockSetup& setup) {
                                    setup.faults.ack(blocksim::Exchange::Hello) =
                                        blocksim::AckFault{blocksim::AckFault::Kind::Wrong, 0x55, 0,
                                                           0};
                                }},
                      FatalCase{"WrongClockAck", "No Acknowledge T1",
                                [](blocksim::BlockSetup& setup) {
                                    setup.faults.ack(blocksim::Exchange::Clock) =
                                        blocksim::AckFault{blocksim::AckFault::Kind::Wrong, 0x55, 0,
                                                           0};
                                }}),
    [](const ::testing::TestParamInfo<FatalCase>& param) { return std::string(param.param.name); });

TEST_F(Discovery, AboutItemOpensTheAboutBox) {
    start();
    const auto menu = driver.systemMenu(*window);
    ASSERT_GE(menu.size(), 2u);
    EXPECT_EQ(menu[menu.size() - 2].flags, platform::MF_SEPARATOR);
    EXPECT_EQ(menu.back().command, IDM_ABOUTBOX);
    EXPECT_EQ(menu.back().text, "&О программе");
    EXPECT_TRUE(driver.chooseSystemMenu(*window, IDM_ABOUTBOX));
    EXPECT_EQ(driver.modalRuns(), std::vector<int>{IDD_ABOUTBOX});
    EXPECT_TRUE(driver.isOpen(*window));
}

TEST_F(Discovery, FactorySetupOpensOnlyForAPresentServiceBlock) {
    addBlock(3, block(18, 42, 42, true, false));
    addBlock(4, block(18, 43, 42, false, true));
    start();
    tick();
    EXPECT_TRUE(driver.doubleClick(*window, IDC_SERIAL_A));
    EXPECT_TRUE(driver.modalRuns().empty());
    takeReceived(3);
    EXPECT_TRUE(driver.doubleClick(*window, IDC_SERIAL_B));
    EXPECT_EQ(driver.modalRuns(), std::vector<int>{IDD_PARAMSET});
    EXPECT_EQ(takeReceived(3), Bytes{0x01}) << "the list is read again after the dialog";
}

}  // namespace
}  // namespace kelvra
