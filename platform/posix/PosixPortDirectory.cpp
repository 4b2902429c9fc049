#include "platform/posix/PosixPortDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/PosixSerialPort.h"
#include "platform/serial/PortNames.h"

namespace kelvra::platform {

std::string linuxPortDirectory() {
    const char* runtimeDirectory = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDirectory != nullptr && runtimeDirectory[0] != '\0') {
        return std::string(runtimeDirectory) + "/kelvra/ports";
    }
    return "/tmp/kelvra-" + std::to_string(getuid()) + "/ports";
}

namespace {

class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) {
            ::close(descriptor_);
        }
    }
    Descriptor(Descriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(descriptor_, other.descriptor_);
        return *this;
    }

    int get() const { return descriptor_; }
    explicit operator bool() const { return descriptor_ >= 0; }

private:
    int descriptor_;
};

// The port directory's path below / as its names. The directories from level `firstPrivate`
// on (level 0 is /, level k the k-th name) are where this user's own part begins: the runtime
// directory, or kelvra-<uid> in the shared /tmp.
struct PortDirectoryPath {
    std::vector<std::string> names;
    std::size_t firstPrivate = 0;
};

void appendNames(const std::string& path, std::vector<std::string>& names) {
    std::size_t start = 0;
    while (start < path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string name = path.substr(start, end - start);
        if (!name.empty() && name != ".") {
            names.push_back(std::move(name));
        }
        start = end + 1;
    }
}

std::optional<PortDirectoryPath> portDirectoryPath() {
    PortDirectoryPath path;
    const char* runtimeDirectory = std::getenv("XDG_RUNTIME_DIR");
    if (runtimeDirectory != nullptr && runtimeDirectory[0] != '\0') {
        // The base directory rules make a relative runtime directory invalid.
        if (runtimeDirectory[0] != '/') {
            return std::nullopt;
        }
        appendNames(runtimeDirectory, path.names);
        path.firstPrivate = path.names.size();
        path.names.insert(path.names.end(), {"kelvra", "ports"});
    } else {
        path.names = {"tmp", "kelvra-" + std::to_string(getuid()), "ports"};
        path.firstPrivate = 2;
    }
    return path;
}

// Links in it can only have been placed by this user or root.
bool isPrivate(int directory) {
    struct stat status {};
    return ::fstat(directory, &status) == 0 && S_ISDIR(status.st_mode) &&
           (status.st_uid == ::geteuid() || status.st_uid == 0) &&
           (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The user's port directory, reached from / one directory at a time, so that nothing can
// be swapped between the checks and the use of what was checked; invalid when any part of it
// fails.
Descriptor openPortDirectory() {
    const std::optional<PortDirectoryPath> path = portDirectoryPath();
    if (!path) {
        return Descriptor(-1);
    }
    Descriptor directory(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (std::size_t level = 0;; ++level) {
        if (!directory || (level >= path->firstPrivate && !isPrivate(directory.get()))) {
            return Descriptor(-1);
        }
        if (level == path->names.size()) {
            return directory;
        }
        // No level follows links: /tmp and /run/user have none, and a target escapes the checks.
        directory = Descriptor(::openat(directory.get(), path->names[level].c_str(),
                                        O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
}

}  // namespace

std::string blockPortDeviceName(int index) {
    const bool trusted = static_cast<bool>(openPortDirectory());
    return linuxComDeviceName(index, trusted ? linuxPortDirectory() : std::string());
}

OpenedPort openBlockPortDevice(const std::string& deviceName) {
    const std::string inPortDirectory = linuxPortDirectory() + "/";
    if (deviceName.compare(0, inPortDirectory.size(), inPortDirectory) != 0) {
        return openPosixSerialPort(deviceName);
    }
    const std::string link = deviceName.substr(inPortDirectory.size());
    const Descriptor directory = openPortDirectory();
    if (!directory || link.empty() || link.find('/') != std::string::npos) {
        return {};
    }
    // Looked up in the very directory that was checked, wherever its path leads by now. The
    // link at the last name is followed: leading to a device is what it is there for.
    return openPosixSerialPortAt(directory.get(), link);
}

}  // namespace kelvra::platform
