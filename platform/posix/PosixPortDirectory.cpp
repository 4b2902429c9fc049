#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

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

// The fallback directory lives in the shared /tmp where anyone may create it first; its links
// are followed only if nobody but this user (or root) can have placed them there.
bool portLinksAreTrusted(const std::string& directory) {
    struct stat status {};
    if (lstat(directory.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        return false;
    }
    const bool ownOrRoot = status.st_uid == geteuid() || status.st_uid == 0;
    const bool writableByOthers = (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return ownOrRoot && !writableByOthers;
}

}  // namespace

std::string blockPortDeviceName(int index) {
    const std::string directory = linuxPortDirectory();
    return linuxComDeviceName(index, portLinksAreTrusted(directory) ? directory : std::string());
}

}  // namespace kelvra::platform
