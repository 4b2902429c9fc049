#pragma once

#include <string>

namespace kelvra::cli {

// `utf8` in printable ASCII, for the picture's font, which has no other letters: Russian
// letters transliterated ("5 Марта 18г" → "5 Marta 18g"), any other character '?'.
std::string latinLabel(const std::string& utf8);

}  // namespace kelvra::cli
