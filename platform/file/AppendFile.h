#pragma once

#include <string>

namespace kelvra::platform {

// Appends `line` and a newline to the file at `path` (UTF-8), creating it if missing, and has
// it on the disk before returning. Only a plain file is used: a link at the name is not
// followed, and a FIFO, device or folder there is refused. The line goes out in one append
// write, so the lines of two writers never interleave; when the file does not end in a newline
// (its last line was cut short by a full disk or a crash), that write begins with one, so the
// new line stays whole. Another writer's line still going out looks cut short too: the file
// then gets an empty line, which its readers skip. True when every byte was written and flushed;
// otherwise `failure`, when given, says why in the system's words.
bool appendLine(const std::string& path, const std::string& line, std::string* failure = nullptr);

}  // namespace kelvra::platform
