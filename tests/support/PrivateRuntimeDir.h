#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

// A fresh directory private to the user (mode 0700) that stands in for $XDG_RUNTIME_DIR while
// the object lives, so that the station looks for its ports in <dir>/kelvra/ports. The old
// value comes back and the directory is removed on destruction. Create it before anything
// computes the port directory.
class PrivateRuntimeDir {
public:
    PrivateRuntimeDir();
    ~PrivateRuntimeDir();
    PrivateRuntimeDir(const PrivateRuntimeDir&) = delete;
    PrivateRuntimeDir& operator=(const PrivateRuntimeDir&) = delete;

    const std::string& path() const { return path_; }
    // Where the station looks for COM<n> links, as it computes it.
    std::string portDirectory() const;

    // Creates the port directory and, for every COM number not in `used`, a link to a device
    // that does not exist: the station's scan then never falls back to this machine's own
    // serial devices.
    void blockOtherPorts(const std::vector<int>& used) const;

private:
    std::string path_;
    std::optional<std::string> previous_;
};

}  // namespace kelvra::test
