#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelvra::platform {

// Digests are compared as text (manifests, tools such as sha256sum): lower case, two digits a
// byte, most significant nibble first.
inline std::string hexDigits(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

}  // namespace kelvra::platform
