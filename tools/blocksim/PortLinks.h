#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::blocksim {

// The names under which the tool finds simulated ports: a COM<n> link in the port directory
// and, for Wine, a com<n> link in the prefix's dosdevices folder, each to the port's device.
class PortLinks {
public:
    PortLinks(std::string portDirectory, std::optional<std::string> winePrefix);
    ~PortLinks();
    PortLinks(const PortLinks&) = delete;
    PortLinks& operator=(const PortLinks&) = delete;

    // Creates the port directory (private to the user) and the dosdevices folder when missing.
    // Returns warnings about a directory the tool would not trust. Throws std::runtime_error.
    std::vector<std::string> prepare();
    // Replaces whatever link of that name was there. Throws std::runtime_error.
    void publish(int com, const std::string& device);
    // Removes the port's links, unless someone has pointed them elsewhere meanwhile.
    void withdraw(int com);

private:
    std::vector<std::string> linkPaths(int com) const;

    std::string portDirectory_;
    std::optional<std::string> winePrefix_;
    std::map<int, std::string> published_;
};

}  // namespace kelvra::blocksim
