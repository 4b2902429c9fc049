#include "cli/LatinLabel.h"

#include <cctype>
#include <cstdint>

namespace kelvra::cli {

namespace {

// а to я, in the alphabet's order of code points.
constexpr const char* kLower[32] = {"a",  "b",  "v",  "g",    "d", "e", "zh", "z", "i",  "y", "k",
                                    "l",  "m",  "n",  "o",    "p", "r", "s",  "t", "u",  "f", "kh",
                                    "ts", "ch", "sh", "shch", "",  "y", "",   "e", "yu", "ya"};

std::string letter(char32_t c) {
    if (c == U'ё') {
        return "e";
    }
    if (c == U'Ё') {
        return "E";
    }
    if (c >= U'а' && c <= U'я') {
        return kLower[c - U'а'];
    }
    if (c >= U'А' && c <= U'Я') {
        std::string text = kLower[c - U'А'];
        if (!text.empty()) {
            text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        }
        return text;
    }
    return "?";
}

}  // namespace

std::string latinLabel(const std::string& utf8) {
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        const auto lead = static_cast<std::uint8_t>(utf8[at]);
        if (lead < 0x80) {
            out += (lead >= 0x20 && lead < 0x7F) ? static_cast<char>(lead) : '?';
            ++at;
            continue;
        }
        // Two-byte sequences hold the Cyrillic letters; longer ones are skipped whole.
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        char32_t c = 0;
        if (length == 2 && at + 1 < utf8.size()) {
            c = static_cast<char32_t>(((lead & 0x1F) << 6) |
                                      (static_cast<std::uint8_t>(utf8[at + 1]) & 0x3F));
        }
        out += letter(c);
        at += length;
    }
    return out;
}

}  // namespace kelvra::cli
