#include <gtest/gtest.h>

#include <functional>

#include "link/FirmwareRules.h"
#include "tests/support/StationFixture.h"
#include "ui/SessionTable.h"

namespace kelvra {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::CDialog;
using platform::headless::MessageBoxRecord;

// Frames (17 bytes after an 06) and sector reads (08 and 4 address bytes) in a wire log.
struct WireLog {
    std::vector<Bytes> frames;
    std::vector<std::uint32_t> sectors;

    explicit WireLog(const Bytes& wire) {
        for (std::size_t i = 0; i < wire.size();) {
            if (wire[i] == 0x06 && i + 17 <= wire.size()) {
                frames.emplace_back(wire.begin() + static_cast<long>(i),
                                    wire.begin() + static_cast<long>(i) + 17);
                i += 17;
            } else if (wire[i] == 0x08 && i + 5 <= wire.size()) {
                sectors.push_back(static_cast<std::uint32_t>(
                    wire[i + 1] | (wire[i + 2] << 8) | (wire[i + 3] << 16) | (wire[i + 4] << 24)));
                i += 5;
            } else {
                ++i;
            }
        }
    }
};

Bytes frameHead(std::initializer_list<std::uint8_t> nine) {
    Bytes frame(nine);
    frame.resize(17, 0);
    return frame;
}

class FactorySetup : public test::StationFixture {
protected:
    // Block A with the service flag; `use` drives the dialog while it is open.
    void openFor(blocksim::BlockSetup setup, std::function<void(CDialog&)> use) {
        addBlock(3, std::move(setup));
        start();
        tick();
        takeReceived(3);
        driver.onModal([&](CDialog& dialog) {
            takeReceived(3);
            use(dialog);
            wire = takeReceived(3);
        });
        ASSERT_TRUE(driver.doubleClick(*window, IDC_SERIAL_A));
        afterClose = takeReceived(3);
    }

    void set(CDialog& dialog, int id, const char* text) {
        ASSERT_TRUE(driver.typeText(dialog, id, text));
    }

    std::vector<std::string> boxTexts() const {
        std::vector<std::string> texts;
        for (const MessageBoxRecord& box : driver.messageBoxes()) {
            texts.push_back(box.text);
        }
        return texts;
    }

    Bytes wire;
    Bytes afterClose;
};

TEST_F(FactorySetup, OpensWithTheBlocksSerialNumberAndSendsBothSetFrames) {
    std::string year, serial, value;
    openFor(block(18, 42, 42, true, true), [&](CDialog& dialog) {
        year = dialog.GetItemText(IDC_FACTORY_YEAR);
        serial = dialog.GetItemText(IDC_FACTORY_SERIAL);
        value = dialog.GetItemText(IDC_FACTORY_VALUE);
        driver.click(dialog, IDC_SET_SERIAL);
        driver.click(dialog, IDC_SET_VALUE);
    });
    EXPECT_EQ(year, "2018");
    EXPECT_EQ(serial, "42");
    EXPECT_EQ(value, "512");
    const WireLog log(wire);
    ASSERT_EQ(log.frames.size(), 2u);
    EXPECT_EQ(log.frames[0], frameHead({0x06, 0x12, 0x2A, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(log.frames[1], frameHead({0x06, 0xFF, 0x2A, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x02}));
    EXPECT_EQ(afterClose, Bytes{0x01}) << "the record list is read again";
    EXPECT_EQ(backend.setup(port(3)).serialNumber, 42);
}

TEST_F(FactorySetup, ServiceButtonsIgnoreTheEdits) {
    openFor(block(18, 42, 42, true, true), [&](CDialog& dialog) {
        set(dialog, IDC_FACTORY_YEAR, "abc");
        set(dialog, IDC_FACTORY_VALUE, "");
        for (int id : {IDC_BATT, IDC_SET_A, IDC_SET_B, IDC_REPAIR_DATE, IDC_UNDELETE}) {
            driver.click(dialog, id);
        }
    });
    EXPECT_TRUE(driver.messageBoxes().empty());
    const WireLog log(wire);
    ASSERT_EQ(log.frames.size(), 5u);
    EXPECT_EQ(log.frames[0], frameHead({0x06, 0, 0, 0, 0, 0, 0x03, 0, 0}));
    EXPECT_EQ(log.frames[1], frameHead({0x06, 0, 0, 0, 0, 0, 0x05, 0, 0}));
    EXPECT_EQ(log.frames[2], frameHead({0x06, 0, 0, 0, 0, 0, 0x06, 0, 0}));
    EXPECT_EQ(log.frames[3], frameHead({0x06, 0, 0, 0, 0, 0, 0x09, 0, 0}));
    EXPECT_EQ(log.frames[4], frameHead({0x06, 0x25, 0, 0, 0, 0, 0x14, 0, 0}));
}

TEST_F(FactorySetup, RangesAreCheckedInOrderAndBoundsAreSent) {
    openFor(block(18, 42, 42, true, true), [&](CDialog& dialog) {
        set(dialog, IDC_FACTORY_YEAR, "2101");
        driver.click(dialog, IDC_SET_SERIAL);
        EXPECT_EQ(dialog.GetFocusedItem(), IDC_FACTORY_YEAR);
        set(dialog, IDC_FACTORY_YEAR, "2100");
        set(dialog, IDC_FACTORY_SERIAL, "1000");
        driver.click(dialog, IDC_SET_SERIAL);
        EXPECT_EQ(dialog.GetFocusedItem(), IDC_FACTORY_SERIAL);
        set(dialog, IDC_FACTORY_SERIAL, "999");
        set(dialog, IDC_FACTORY_VALUE, "65536");
        driver.click(dialog, IDC_SET_VALUE);
        set(dialog, IDC_FACTORY_VALUE, "-1");
        driver.click(dialog, IDC_SET_VALUE);
        set(dialog, IDC_FACTORY_VALUE, "65535");
        driver.click(dialog, IDC_SET_SERIAL);
        driver.click(dialog, IDC_SET_VALUE);
        set(dialog, IDC_FACTORY_SERIAL, "12abc");
        driver.click(dialog, IDC_SET_VALUE);
        set(dialog, IDC_FACTORY_SERIAL, "abc");
        driver.click(dialog, IDC_SET_VALUE);
        set(dialog, IDC_FACTORY_SERIAL, "");
        driver.click(dialog, IDC_SET_VALUE);
    });
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{
                              "Please enter an integer between 2000 and 2100.",
                              "Please enter an integer between 0 and 999.",
                              "Please enter an integer between 0 and 65535.",
                              "Please enter an integer between 0 and 65535.",
                              "Please enter an integer.",
                              "Please enter an integer.",
                          }));
    const WireLog log(wire);
    ASSERT_EQ(log.frames.size(), 3u);
    EXPECT_EQ(log.frames[0], frameHead({0x06, 0x64, 0xE7, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(log.frames[1], frameHead({0x06, 0xFF, 0xE7, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(log.frames[2], frameHead({0x06, 0xFF, 0x0C, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(FactorySetup, AYearOutOfRangeBlocksBothSetButtonsUntilCorrected) {
    std::string year;
    openFor(block(255, 42, 42, true, true), [&](CDialog& dialog) {
        year = dialog.GetItemText(IDC_FACTORY_YEAR);
        driver.click(dialog, IDC_SET_SERIAL);
        driver.click(dialog, IDC_SET_VALUE);
        set(dialog, IDC_FACTORY_YEAR, "2019");
        driver.click(dialog, IDC_SET_SERIAL);
    });
    EXPECT_EQ(year, "2255");
    EXPECT_EQ(driver.messageBoxes().size(), 2u);
    const WireLog log(wire);
    ASSERT_EQ(log.frames.size(), 1u);
    EXPECT_EQ(log.frames[0][1], 19);
}

TEST_F(FactorySetup, EscapeSendsNothingAndTheListIsReadAgain) {
    openFor(block(18, 42, 42, true, true), [&](CDialog& dialog) {
        set(dialog, IDC_FACTORY_YEAR, "1999");
        driver.pressEscape(dialog);
    });
    EXPECT_TRUE(wire.empty());
    EXPECT_TRUE(driver.messageBoxes().empty());
    EXPECT_EQ(afterClose, Bytes{0x01});
}

TEST_F(FactorySetup, ABlockLostWhileOpenIsNotUsed) {
    openFor(block(18, 42, 42, true, true), [&](CDialog& dialog) {
        backend.unplug(port(3));
        tick();
        ASSERT_FALSE(window->slotA.present);
        backend.plug(port(3));
        tick();
        ASSERT_TRUE(window->slotA.present) << "found again, on a new port";
        takeReceived(3);
        driver.click(dialog, IDC_BATT);
        driver.click(dialog, IDC_SESSIONS);
    });
    EXPECT_TRUE(WireLog(wire).frames.empty());
    EXPECT_TRUE(WireLog(wire).sectors.empty());
}

TEST_F(FactorySetup, TheOtherBlockArrivingWhileOpenChangesNothing) {
    openFor(block(18, 42, 42, true, true), [&](CDialog& dialog) {
        addBlock(4, block(18, 43, 42, false));
        tick();
        ASSERT_TRUE(window->slotB.present);
        takeReceived(3);
        driver.click(dialog, IDC_BATT);
    });
    EXPECT_EQ(WireLog(wire).frames.size(), 1u) << "block A's port was withheld";
}

TEST_F(FactorySetup, SessionsReadFortyHeadersAtTheFirmwaresStride) {
    auto setup = block(18, 42, 42, true, true);
    blocksim::SessionHeader example{};
    example.fill(0x00);
    example[0] = 0x01;
    example[1] = 4;
    const std::uint8_t time[6] = {0x30, 0x15, 0x09, 0x21, 0x06, 0x18};
    std::copy(std::begin(time), std::end(time), example.begin() + 8);
    example[28] = 7;
    blocksim::SessionHeader erased;
    erased.fill(0xFF);
    setup.sessions = {erased, erased, erased, erased, erased, example};
    std::vector<std::string> lines;
    openFor(setup, [&](CDialog& dialog) {
        driver.click(dialog, IDC_SESSIONS);
        driver.click(dialog, IDC_SESSIONS);
        platform::CListBox list = dialog.GetListBox(IDC_SESSION_LIST);
        for (int i = 0; i < list.GetCount(); ++i) {
            lines.push_back(list.GetText(i));
        }
    });
    ASSERT_EQ(lines.size(), 80u);
    EXPECT_EQ(lines[0], "00 D\tR255\t165/165/20165 165:165:165\t65535");
    EXPECT_EQ(lines[5], "05  \tR4\t21/06/2018 09:15:30\t007");
    EXPECT_EQ(lines[45], lines[5]) << "the second press's lines come first";
    const WireLog log(wire);
    ASSERT_EQ(log.sectors.size(), 80u);
    EXPECT_EQ(log.sectors[0], 2u);
    EXPECT_EQ(log.sectors[1], 2u + 40002u);
    EXPECT_EQ(log.sectors[39], 2u + 39u * 40002u);
    EXPECT_EQ(log.sectors[40], 2u);
}

TEST(SessionStride, FollowsTheFirmwaresRecordFormat) {
    EXPECT_EQ(sessionStride(42), 4u * 9999u + 6u);
    EXPECT_EQ(sessionStride(49), 4u * 9999u + 6u);
    EXPECT_EQ(sessionStride(55), 4u * 10013u + 6u);
    EXPECT_EQ(sessionStride(59), 4u * 10013u + 6u);
    EXPECT_EQ(sessionStride(60), 4u * 15020u + 6u);
}

}  // namespace
}  // namespace kelvra
