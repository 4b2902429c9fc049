#include "download/PlainFileName.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>

namespace kelvra {

namespace {

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Windows takes a reserved name with anything after a dot, and with spaces before it, for the
// device.
bool isReservedDevice(const std::string& name) {
    std::string_view stem(name);
    stem = stem.substr(0, stem.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.remove_suffix(1);
    }
    std::string base;
    std::transform(stem.begin(), stem.end(), std::back_inserter(base), upper);
    static constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
    if (std::find(kDevices.begin(), kDevices.end(), base) != kDevices.end()) {
        return true;
    }
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) &&
           base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool isPlainFileName(const std::string& name) {
    // A trailing dot rules out "." and ".." too.
    if (name.empty() || name.back() == '.' || name.back() == ' ') {
        return false;
    }
    const bool plainCharacters = std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '/' || c == '\\' || c == ':';
    });
    return plainCharacters && !isReservedDevice(name);
}

}  // namespace kelvra
