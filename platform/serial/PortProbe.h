#pragma once

#include <string>

namespace kelvra::platform {

// Whether this program could open a port, and why not.
enum class PortAccess {
    Absent,            // no such device, or a link to one that is gone
    PermissionDenied,  // `group`, when set, gives access
    Busy,              // another program holds it
    Unopenable,        // any other reason, in `detail`
    Openable,
};

struct PortProbe {
    std::string device;      // the name the serial backend opens
    std::string resolvesTo;  // where a port-directory link points; empty for a device
    PortAccess access = PortAccess::Absent;
    std::string group;   // PermissionDenied: the group owning the device, if it has access
    std::string detail;  // Unopenable: the system's reason
};

// Looks at COM(index + 1) as the serial backend would open it; opens it only to see whether
// it can be, sends nothing, and closes it again.
PortProbe probePort(int index);

}  // namespace kelvra::platform
