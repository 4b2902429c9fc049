#pragma once

#include <cstdint>
#include <span>

#include "fuzz/harness/Findings.h"

namespace kelvra::fuzz {

// The main window on the headless backend and a virtual clock, against two blocks whose every
// reply comes from `input`: discovery, pairing, the clock, directories and the record list,
// downloads of the listed lines and recovery, one second at a time until the input is used up,
// then until a pending recovery has run its course. The first StationOptions::kSize bytes say
// what the user does; the rest is the blocks' replies (ReplyStream).
Findings runStation(std::span<const std::uint8_t> input);

}  // namespace kelvra::fuzz
