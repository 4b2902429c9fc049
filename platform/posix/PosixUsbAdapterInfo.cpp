#include <charconv>
#include <filesystem>
#include <fstream>

#include "platform/serial/UsbAdapterInfo.h"

namespace kelvra::platform {

namespace {

namespace fs = std::filesystem;

// USB interface, then device: the ids sit at most this many folders above a serial port's.
constexpr int kLevelsToTheUsbDevice = 3;

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) {
        line.pop_back();
    }
    return line;
}

// The tty's name: a port-directory link or /dev/serial/by-id/... leads to /dev/ttyUSB0.
std::string ttyName(const std::string& device) {
    std::error_code error;
    const fs::path resolved = fs::canonical(device, error);
    return (error ? fs::path(device) : resolved).filename().string();
}

}  // namespace

std::string systemDeviceTree() {
    return "/sys";
}

std::optional<UsbAdapterInfo> usbAdapterInfo(const std::string& device, const std::string& root) {
    const std::string name = ttyName(device);
    const fs::path port = fs::path(root) / "class" / "tty" / name / "device";
    std::error_code error;
    fs::path at = fs::canonical(port, error);
    if (error || name.empty()) {
        return std::nullopt;
    }
    for (int level = 0; level <= kLevelsToTheUsbDevice; ++level, at = at.parent_path()) {
        if (!fs::exists(at / "idVendor", error) || !fs::exists(at / "idProduct", error)) {
            continue;
        }
        UsbAdapterInfo info;
        info.vendorId = firstLine(at / "idVendor");
        info.productId = firstLine(at / "idProduct");
        info.product = firstLine(at / "product");
        info.driver = fs::read_symlink(port / "driver", error).filename().string();
        const std::string latency = firstLine(port / "latency_timer");
        int milliseconds = 0;
        const auto [end, parsed] =
            std::from_chars(latency.data(), latency.data() + latency.size(), milliseconds);
        if (parsed == std::errc() && end == latency.data() + latency.size()) {
            info.latencyTimerMs = milliseconds;
            const std::string timer =
                (fs::path(root) / "bus" / "usb-serial" / "devices" / name / "latency_timer")
                    .string();
            info.lowerLatency = "echo 1 | sudo tee " + timer + " (or: sudo setserial /dev/" + name +
                                " low_latency)";
        }
        return info;
    }
    return std::nullopt;
}

}  // namespace kelvra::platform
