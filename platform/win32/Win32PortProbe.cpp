#include <windows.h>

#include <string>

#include "platform/serial/PortNames.h"
#include "platform/serial/PortProbe.h"

namespace kelvra::platform {

PortProbe probePort(int index) {
    PortProbe probe;
    probe.device = blockPortDeviceName(index);
    const HANDLE handle = CreateFileA(probe.device.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        probe.access = PortAccess::Openable;
        return probe;
    }
    const DWORD error = GetLastError();
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            probe.access = PortAccess::Absent;
            break;
        // Ports open exclusively: one that another program holds refuses with these.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            probe.access = PortAccess::Busy;
            break;
        default:
            probe.access = PortAccess::Unopenable;
            probe.detail = "system error " + std::to_string(error);
            break;
    }
    return probe;
}

}  // namespace kelvra::platform
