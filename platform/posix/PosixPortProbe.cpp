#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/serial/PortNames.h"
#include "platform/serial/PortProbe.h"

namespace kelvra::platform {

namespace {

std::string linkTarget(const std::string& path) {
    char target[4096];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    return length < 0 ? std::string() : std::string(target, static_cast<std::size_t>(length));
}

// The group whose members may read and write the device; none when the device's mode gives its
// group no such access, since joining it would not help.
std::string owningGroup(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 ||
        (status.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) {
        return {};
    }
    const group* owner = ::getgrgid(status.st_gid);
    return owner != nullptr ? owner->gr_name : std::to_string(status.st_gid);
}

}  // namespace

PortProbe probePort(int index) {
    PortProbe probe;
    probe.device = blockPortDeviceName(index);
    if (probe.device.rfind(linuxPortDirectory() + "/", 0) == 0) {
        probe.resolvesTo = linkTarget(probe.device);
    }
    const int descriptor = ::open(probe.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENXIO || error == ENODEV || error == ENOTDIR) {
            probe.access = PortAccess::Absent;
        } else if (error == EACCES || error == EPERM) {
            probe.access = PortAccess::PermissionDenied;
            probe.group = owningGroup(probe.device);
        } else if (error == EBUSY) {
            probe.access = PortAccess::Busy;
        } else {
            probe.access = PortAccess::Unopenable;
            probe.detail = std::strerror(error);
        }
        return probe;
    }
    // The serial backend takes the port with this lock and in exclusive mode, and refuses a port
    // that has either already; root passes the exclusive mode, so it is asked for.
    int exclusive = 0;
    const bool held = ::ioctl(descriptor, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    const bool locked = !held && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
    probe.access = locked ? PortAccess::Openable : PortAccess::Busy;
    ::close(descriptor);
    return probe;
}

}  // namespace kelvra::platform
