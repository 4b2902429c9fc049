#pragma once

#include <cstdint>
#include <span>

#include "fuzz/harness/Findings.h"

namespace kelvra::fuzz {

// The factory dialog's session table for a block whose replies come from `input` (a
// ReplyStream): the greeting the dialog opens with, which gives the firmware and with it the
// distance between sessions, then the session sectors it reads; then the serial number is set
// from what the greeting said.
Findings runSessionTable(std::span<const std::uint8_t> input);

}  // namespace kelvra::fuzz
