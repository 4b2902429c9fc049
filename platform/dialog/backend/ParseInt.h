#pragma once

#include <optional>
#include <string_view>

namespace kelvra::platform {

// The integer at the start of an edit's text, as the data exchange reads it: at most the first
// 63 characters, leading blanks skipped, an optional sign, then decimal digits (the rest is
// ignored); values beyond the int range saturate. Nothing when no digit follows.
std::optional<int> parseLeadingInt(std::string_view text);

}  // namespace kelvra::platform
