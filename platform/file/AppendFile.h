#pragma once

#include <string>

namespace kelvra::platform {

// Appends `line` and a newline to the file at `path` (UTF-8), creating it if missing, and has
// it on the disk before returning. Only a plain file is used: a link at the name is not
// followed, and a FIFO, device or folder there is refused. The line goes out in one append
// write, so the lines of two writers never interleave. True when every byte was written and
// flushed.
bool appendLine(const std::string& path, const std::string& line);

}  // namespace kelvra::platform
