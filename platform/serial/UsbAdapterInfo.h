#pragma once

#include <optional>
#include <string>

namespace kelvra::platform {

// The USB serial adapter behind a port, as the system describes it. Such an adapter holds the
// bytes it receives until its packet is full or its latency timer runs out, so every exchange
// with a block waits up to that long for the end of the reply.
struct UsbAdapterInfo {
    std::string driver;     // the system's driver: ftdi_sio, cp210x, cdc_acm; FTSER2K, usbser
    std::string vendorId;   // USB vendor id, four lower-case hex digits
    std::string productId;  // USB product id, the same
    std::string product;    // the name the device or its driver gives it; may be empty
    std::optional<int> latencyTimerMs;  // where the driver has one (FTDI adapters)
    std::string lowerLatency;           // how to set that timer to 1 ms on this system
};

// Where this system describes its devices: the sysfs root on Linux, the registry key holding
// the Enum tree (HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet) on Windows.
std::string systemDeviceTree();

// Reads what the device tree at `root` says about the adapter of `device` (a name as the serial
// backend opens it), changing nothing; nothing for a device that is not a USB serial device.
std::optional<UsbAdapterInfo> usbAdapterInfo(const std::string& device, const std::string& root);

}  // namespace kelvra::platform
