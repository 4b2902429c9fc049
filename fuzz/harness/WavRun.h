#pragma once

#include <cstdint>
#include <span>

#include "fuzz/harness/Findings.h"

namespace kelvra::fuzz {

// Any bytes as a WAV file for `kelvra-cli look`: its header read, then its samples to the end
// through the levels. Input: the file's bytes.
Findings runWav(std::span<const std::uint8_t> input);

}  // namespace kelvra::fuzz
