#pragma once

#include <cstdint>
#include <string>

namespace kelvra {

inline constexpr int kSessionLines = 40;
inline constexpr std::uint32_t kFirstSessionSector = 2;

// The list line of session `index` from the first 32 bytes of its header sector.
std::string sessionLine(int index, const std::uint8_t* header);

}  // namespace kelvra
