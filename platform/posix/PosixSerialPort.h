#pragma once

#include <string>

#include "platform/serial/SerialPort.h"

namespace kelvra::platform {

// A serial device opened through termios, with reads and writes timed like the Windows port
// settings of a block.
class PosixSerialPort final : public SerialPort {
public:
    // Takes over an open, non-blocking descriptor that holds the device's flock.
    explicit PosixSerialPort(int descriptor) : descriptor_(descriptor) {}
    ~PosixSerialPort() override;

    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    std::size_t write(const std::uint8_t* bytes, std::size_t count) override;
    std::size_t read(std::uint8_t* bytes, std::size_t count) override;
    std::size_t available() override;
    std::size_t availableWithin(unsigned milliseconds) override;
    bool requestLowLatency() override;
    std::uint64_t lineErrors() override;

private:
    int descriptor_;
};

// Opens an existing device for exclusive use and sets it to raw 8N1 at 460800 baud without
// flow control, DTR and RTS off, input queue emptied.
OpenedPort openPosixSerialPort(const std::string& deviceName);
// The same for `name` looked up in an open directory.
OpenedPort openPosixSerialPortAt(int directory, const std::string& name);

}  // namespace kelvra::platform
