#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvra::platform {

// Asks the user for a folder (the shell's folder browser on Windows, the toolkit's directory
// chooser elsewhere) with `title` as its prompt. Returns the chosen folder's file-system path
// (UTF-8), or nothing when the user cancels or the choice has no file-system path. Call it on
// the window's thread.
std::optional<std::string> BrowseForFolder(std::string_view title);

// Makes `path` (UTF-8) the process's current directory; false if that failed.
bool ChangeCurrentDirectory(std::string_view path);

}  // namespace kelvra::platform
