#pragma once

#include <windows.h>

#include <string>

#include "platform/serial/SerialPort.h"

namespace kelvra::platform {

// A COM port opened with the block's queue sizes, time-outs and line settings.
class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(HANDLE handle) : handle_(handle) {}
    ~Win32SerialPort() override;

    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    std::size_t write(const std::uint8_t* bytes, std::size_t count) override;
    std::size_t read(std::uint8_t* bytes, std::size_t count) override;
    std::size_t available() override;
    std::size_t availableWithin(unsigned milliseconds) override;
    std::uint64_t lineErrors() override;

private:
    // Takes the driver's error flags, which each query clears, into the count.
    void collectErrors(DWORD errors);

    HANDLE handle_;
    std::uint64_t lineErrors_ = 0;
};

// Opens a COM device exclusively; only the final SetCommState decides whether it is Ready.
OpenedPort openWin32SerialPort(const std::string& deviceName);

}  // namespace kelvra::platform
