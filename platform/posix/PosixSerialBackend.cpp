#include "platform/posix/PosixPortDirectory.h"
#include "platform/serial/PortNames.h"

namespace kelvra::platform {

namespace {

class PosixSerialBackend final : public SerialBackend {
public:
    OpenedPort open(const std::string& deviceName) override {
        return openBlockPortDevice(deviceName);
    }

    std::string deviceName(int index) override { return blockPortDeviceName(index); }
};

}  // namespace

SerialBackend& systemSerialBackend() {
    static PosixSerialBackend backend;
    return backend;
}

}  // namespace kelvra::platform
