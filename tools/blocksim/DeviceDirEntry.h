#pragma once

#include <cstdint>

#include "tools/blocksim/BlockSetup.h"

namespace kelvra::blocksim {

// Writes the kDirEntrySize bytes a block sends for one entry in answer to CmdDirectory.
void encodeDirEntry(const EntrySetup& entry, std::uint8_t* out);

}  // namespace kelvra::blocksim
