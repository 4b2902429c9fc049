#include <gtest/gtest.h>

#include <fstream>
#include <ostream>

#include "cli/AdapterText.h"
#include "platform/serial/UsbAdapterInfo.h"
#include "tests/support/TempFolder.h"

namespace kelvra::test {
namespace {

namespace fs = std::filesystem;

// A sysfs tree as Linux lays it out for a few serial ports, links relative as the kernel's.
class FakeSysfs {
public:
    FakeSysfs() {
        const fs::path hub = root() / "devices/pci0000:00/0000:00:14.0/usb1";
        usbPort(hub / "1-2", "1-2:1.0/ttyUSB0", "0403", "6001", "FT232R USB UART", "ftdi_sio");
        write(hub / "1-2/1-2:1.0/ttyUSB0/latency_timer", "16");
        usbPort(hub / "1-3", "1-3:1.0/ttyUSB1", "0403", "6015", "FT230X Basic UART", "ftdi_sio");
        write(hub / "1-3/1-3:1.0/ttyUSB1/latency_timer", "1");
        usbPort(hub / "1-4", "1-4:1.0", "2e8a", "000a", "Pico", "cdc_acm", "ttyACM0");
        port(root() / "devices/platform/serial8250/tty/ttyS0",
             root() / "devices/platform/serial8250", "serial8250", "ttyS0");
    }

    fs::path root() const { return folder_.path() / "sys"; }
    // A device node where a port-directory link can point.
    fs::path deviceNode(const std::string& name) const {
        write(folder_.path() / "dev" / name, "");
        return folder_.path() / "dev" / name;
    }

private:
    static void write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text << '\n';
    }
    static void link(const fs::path& at, const fs::path& target) {
        fs::create_directories(at.parent_path());
        fs::create_directory_symlink(fs::relative(target, at.parent_path()), at);
    }
    void usbPort(const fs::path& usbDevice, const std::string& portBelow, const char* vendor,
                 const char* product, const char* name, const char* driver,
                 std::string tty = {}) const {
        write(usbDevice / "idVendor", vendor);
        write(usbDevice / "idProduct", product);
        write(usbDevice / "product", name);
        const fs::path serialPort = usbDevice / portBelow;
        if (tty.empty()) {
            tty = serialPort.filename().string();
        }
        port(serialPort / "tty" / tty, serialPort, driver, tty);
    }
    void port(const fs::path& ttyFolder, const fs::path& device, const char* driver,
              const std::string& tty) const {
        fs::create_directories(ttyFolder);
        fs::create_directories(root() / "bus/drivers" / driver);
        link(device / "driver", root() / "bus/drivers" / driver);
        link(ttyFolder / "device", device);
        link(root() / "class/tty" / tty, ttyFolder);
    }

    TempFolder folder_;
};

struct AdapterCase {
    const char* name;
    const char* tty;
    const char* described;  // nullptr: not a USB serial device
    bool hint;
};

// Listings show the case, not the bytes of its parameters.
void PrintTo(const AdapterCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class UsbAdapterOnLinux : public ::testing::TestWithParam<AdapterCase> {
protected:
    FakeSysfs sysfs;
};

TEST_P(UsbAdapterOnLinux, PortsDescribesTheAdapterFromSysfs) {
    const AdapterCase& c = GetParam();
    const auto adapter = platform::usbAdapterInfo(std::string("/dev/") + c.tty, sysfs.root());
    ASSERT_EQ(adapter.has_value(), c.described != nullptr);
    if (!adapter) {
        return;
    }
    EXPECT_EQ(cli::describeAdapter(*adapter), c.described);
    const auto hint = cli::latencyHint(*adapter);
    ASSERT_EQ(hint.has_value(), c.hint);
    if (hint) {
        EXPECT_EQ(*hint,
                  "hint: the adapter holds what it receives for up to 16 ms, which slows "
                  "every exchange; set its latency timer to 1 ms: echo 1 | sudo tee " +
                      (sysfs.root() / "bus/usb-serial/devices/ttyUSB0/latency_timer").string() +
                      " (or: sudo setserial /dev/ttyUSB0 low_latency)");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sysfs, UsbAdapterOnLinux,
    ::testing::Values(
        AdapterCase{"FtdiAtItsDefault", "ttyUSB0",
                    "USB adapter: ftdi_sio, 0403:6001 FT232R USB UART, latency timer 16 ms", true},
        AdapterCase{"FtdiAtOneMillisecond", "ttyUSB1",
                    "USB adapter: ftdi_sio, 0403:6015 FT230X Basic UART, latency timer 1 ms",
                    false},
        AdapterCase{"CdcAcmWithoutATimer", "ttyACM0", "USB adapter: cdc_acm, 2e8a:000a Pico",
                    false},
        AdapterCase{"BuiltInPort", "ttyS0", nullptr, false},
        AdapterCase{"NoSuchDevice", "ttyUSB7", nullptr, false}),
    [](const ::testing::TestParamInfo<AdapterCase>& adapter) { return adapter.param.name; });

TEST(UsbAdapterOnLinux, PortDirectoryLinkLeadsToItsDevice) {
    FakeSysfs sysfs;
    TempFolder ports;
    fs::create_symlink(sysfs.deviceNode("ttyUSB0"), ports.path() / "COM3");
    const auto adapter = platform::usbAdapterInfo((ports.path() / "COM3").string(), sysfs.root());
    ASSERT_TRUE(adapter);
    EXPECT_EQ(cli::adapterJson(*adapter).text().rfind(
                  R"({"driver":"ftdi_sio","vendorId":"0403","productId":"6001",)"
                  R"("product":"FT232R USB UART","latencyTimerMs":16,"hint":"hint: )",
                  0),
              0u);
}

}  // namespace
}  // namespace kelvra::test
