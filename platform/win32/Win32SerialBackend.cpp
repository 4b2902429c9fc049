#include "platform/serial/PortNames.h"
#include "platform/win32/Win32SerialPort.h"

namespace kelvra::platform {

std::string blockPortDeviceName(int index) {
    return windowsComDeviceName(index);
}

namespace {

class Win32SerialBackend final : public SerialBackend {
public:
    OpenedPort open(const std::string& deviceName) override {
        return openWin32SerialPort(deviceName);
    }

    std::string deviceName(int index) override { return blockPortDeviceName(index); }
};

}  // namespace

SerialBackend& systemSerialBackend() {
    static Win32SerialBackend backend;
    return backend;
}

}  // namespace kelvra::platform
