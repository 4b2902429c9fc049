#include "platform/win32/Win32SerialPort.h"

#include <algorithm>

namespace kelvra::platform {

namespace {

DWORD transferSize(std::size_t count) {
    return static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD));
}

}  // namespace

Win32SerialPort::~Win32SerialPort() {
    CloseHandle(handle_);
}

std::size_t Win32SerialPort::write(const std::uint8_t* bytes, std::size_t count) {
    DWORD written = 0;
    WriteFile(handle_, bytes, transferSize(count), &written, nullptr);
    return written;
}

std::size_t Win32SerialPort::read(std::uint8_t* bytes, std::size_t count) {
    DWORD received = 0;
    ReadFile(handle_, bytes, transferSize(count), &received, nullptr);
    return received;
}

std::size_t Win32SerialPort::available() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle_, &errors, &status)) {
        return 0;
    }
    collectErrors(errors);
    return status.cbInQue;
}

std::size_t Win32SerialPort::availableWithin(unsigned milliseconds) {
    // The driver offers no wait for input short of a read; a few looks over the time will do.
    constexpr unsigned kLookMs = 2;
    for (unsigned waited = 0;; waited += kLookMs) {
        const std::size_t queued = available();
        if (queued != 0 || waited >= milliseconds) {
            return queued;
        }
        Sleep(kLookMs);
    }
}

std::uint64_t Win32SerialPort::lineErrors() {
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(handle_, &errors, &status)) {
        collectErrors(errors);
    }
    return lineErrors_;
}

void Win32SerialPort::collectErrors(DWORD errors) {
    constexpr DWORD kLineErrors = CE_FRAME | CE_OVERRUN | CE_RXOVER | CE_RXPARITY | CE_BREAK;
    if ((errors & kLineErrors) != 0) {
        ++lineErrors_;
    }
}

OpenedPort openWin32SerialPort(const std::string& deviceName) {
    const HANDLE handle = CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return {};
    }
    OpenedPort opened{OpenStatus::NotConfigurable, std::make_unique<Win32SerialPort>(handle)};

    SetupComm(handle, 16384, 16384);

    COMMTIMEOUTS timeouts{};
    GetCommTimeouts(handle, &timeouts);
    timeouts.ReadIntervalTimeout = 200;
    timeouts.ReadTotalTimeoutMultiplier = 5;
    timeouts.ReadTotalTimeoutConstant = 1000;
    timeouts.WriteTotalTimeoutMultiplier = 1000;
    timeouts.WriteTotalTimeoutConstant = 20;
    SetCommTimeouts(handle, &timeouts);

    DCB state{};
    state.DCBlength = sizeof(state);
    GetCommState(handle, &state);
    state.BaudRate = 460800;
    state.ByteSize = 8;
    state.Parity = NOPARITY;
    state.fParity = 0;
    state.StopBits = ONESTOPBIT;
    state.fBinary = 1;
    state.fDtrControl = DTR_CONTROL_DISABLE;
    state.fRtsControl = RTS_CONTROL_DISABLE;
    if (SetCommState(handle, &state)) {
        opened.status = OpenStatus::Ready;
    }
    return opened;
}

}  // namespace kelvra::platform
