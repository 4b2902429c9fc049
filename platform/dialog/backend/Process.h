#pragma once

#include <string>
#include <string_view>

// Framework internals shared by every backend: the process's own directory and name.
namespace kelvra::platform {

// Makes the UTF-8 `path` the current directory; false if that failed.
bool changeProcessDirectory(std::string_view path);

// The running executable's file name without its extension, in UTF-8.
std::string processExecutableName();

}  // namespace kelvra::platform
