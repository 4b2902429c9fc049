#pragma once

#include <cstdint>
#include <span>

#include "fuzz/harness/Findings.h"

namespace kelvra::fuzz {

// The simulator's two parsers on any text: a scenario file (the input up to its first NUL
// byte) and standard-input commands (lines up to the next NUL byte). A valid scenario's blocks
// take the commands meant for them, then the rest of the input as requests from the tool.
// Anything wrong must come back as an error, never as a crash or another exception.
Findings runScenario(std::span<const std::uint8_t> input);

}  // namespace kelvra::fuzz
