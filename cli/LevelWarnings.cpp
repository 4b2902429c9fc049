#include "cli/LevelWarnings.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace kelvra::cli {

namespace {

std::string percentage(std::uint64_t part, std::uint64_t whole) {
    const double share =
        whole == 0 ? 0.0 : 100.0 * static_cast<double>(part) / static_cast<double>(whole);
    int decimals = 1;
    if (share > 0.0 && share < 0.05) {
        // 0.0042: as many decimals as put two digits after the zeros.
        decimals = 1 - static_cast<int>(std::floor(std::log10(share)));
    }
    char text[64];
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, share, std::chars_format::fixed, decimals);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}

}  // namespace

std::vector<std::string> levelWarnings(const std::string& file, const FileChannels& channels) {
    std::vector<std::string> lines;
    for (const FileChannel& channel : channels) {
        if (!channel.block) {
            continue;
        }
        std::string start = "warning: ";
        start += file;
        start += ": block ";
        start += *channel.block;
        start += "'s channel ";
        if (channel.levels.silent) {
            lines.push_back(start + "is silent");
        }
        if (channel.levels.clipped != 0) {
            std::string line = start;
            line += "has ";
            line += std::to_string(channel.levels.clipped);
            line += channel.levels.clipped == 1 ? " clipped sample (" : " clipped samples (";
            line += percentage(channel.levels.clipped, channel.levels.samples);
            line += " %)";
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace kelvra::cli
