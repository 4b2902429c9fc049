#pragma once

#include <cstdint>
#include <span>

#include "fuzz/harness/Findings.h"

namespace kelvra::fuzz {

// A folder's download manifest holding any bytes at all: read, then a download's line appended
// and read again. Input: the manifest's bytes.
Findings runManifest(std::span<const std::uint8_t> input);

}  // namespace kelvra::fuzz
