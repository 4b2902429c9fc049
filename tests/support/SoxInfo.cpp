#include "tests/support/SoxInfo.h"

#include <sys/wait.h>

#include <cstdio>
#include <sstream>

namespace kelvra::test {

namespace {

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// The text after "Name<blanks>: " on the line that begins with Name.
std::optional<std::string> field(const std::string& report, const std::string& name) {
    std::istringstream lines(report);
    std::string line;
    while (std::getline(lines, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || line.compare(0, name.size(), name) != 0 ||
            line.find_first_not_of(' ', name.size()) != colon) {
            continue;
        }
        return line.substr(line.find_first_not_of(' ', colon + 1));
    }
    return std::nullopt;
}

}  // namespace

std::optional<SoxInfo> soxInfo(const std::string& path) {
    const std::string command = "sox --i " + shellQuoted(path) + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return std::nullopt;
    }
    std::string report;
    char buffer[1024];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        report.append(buffer, got);
    }
    const int status = ::pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    const auto channels = field(report, "Channels");
    const auto rate = field(report, "Sample Rate");
    const auto precision = field(report, "Precision");
    const auto duration = field(report, "Duration");
    const auto encoding = field(report, "Sample Encoding");
    if (!channels || !rate || !precision || !duration || !encoding) {
        return std::nullopt;
    }
    SoxInfo info;
    info.channels = std::stoi(*channels);
    info.sampleRate = static_cast<std::uint32_t>(std::stoul(*rate));
    info.precisionBits = std::stoi(*precision);
    // "00:00:03.00 = 24000 samples ~ 225 CDDA sectors"
    const std::size_t equals = duration->find('=');
    if (equals == std::string::npos) {
        return std::nullopt;
    }
    info.samples = std::stoull(duration->substr(equals + 1));
    info.encoding = *encoding;
    return info;
}

}  // namespace kelvra::test
