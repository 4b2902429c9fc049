#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kelvra::platform {

// One open serial line to a block. Both calls block and report only how many bytes moved;
// callers judge an exchange by that count and by byte values, never by an error status.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Sends up to `count` bytes within 20 + 1000 * count ms and returns how many went out.
    virtual std::size_t write(const std::uint8_t* bytes, std::size_t count) = 0;

    // Returns when `count` bytes have arrived, when 200 ms pass after a received byte without
    // another, or when 1000 + 5 * count ms have passed in all; yields the bytes received so far.
    virtual std::size_t read(std::uint8_t* bytes, std::size_t count) = 0;

    // How many received bytes wait to be read, without waiting for more. A block is silent
    // after an acknowledgement until it is asked again, so anything here then is line noise.
    virtual std::size_t available() = 0;

    // How many received bytes wait to be read once `milliseconds` have passed or one has come,
    // whichever is first. Behind a USB adapter a byte sent just after others arrives a packet
    // later, so silence is only known after a wait.
    // Ports whose bytes are never held back answer at once.
    virtual std::size_t availableWithin(unsigned milliseconds) {
        static_cast<void>(milliseconds);
        return available();
    }

    // Asks the driver to hand received bytes over as they come instead of collecting them (a USB
    // adapter's latency timer). False where the port cannot (a pseudo-terminal, a driver
    // without it), which is no error: the port is used as it is.
    virtual bool requestLowLatency() { return false; }

    // Errors the driver has seen on the line since the port was opened (framing, parity,
    // overrun, break, buffer overrun), counted. Bytes received while it rose cannot be trusted.
    virtual std::uint64_t lineErrors() { return 0; }
};

enum class OpenStatus {
    Failed,           // the device does not exist or another program holds it
    NotConfigurable,  // the device opened but its line settings could not be applied
    Ready,
};

struct OpenedPort {
    OpenStatus status = OpenStatus::Failed;
    std::unique_ptr<SerialPort> port;  // set for NotConfigurable and Ready
};

// Where ports come from: the platform's serial devices, or simulated blocks in tests.
class SerialBackend {
public:
    virtual ~SerialBackend() = default;

    // Opens a device exclusively and applies the block line settings (460800 8N1, raw, DTR and
    // RTS off, the block read and write time-outs).
    virtual OpenedPort open(const std::string& deviceName) = 0;

    // The device name of COM(index + 1), index 0 to 28.
    virtual std::string deviceName(int index) = 0;
};

// This platform's serial devices: the POSIX backend on Linux, the Win32 backend on Windows.
SerialBackend& systemSerialBackend();

}  // namespace kelvra::platform
