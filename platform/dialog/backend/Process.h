#pragma once

#include <string>
#include <string_view>

// Framework internals shared by the POSIX backends (Qt and headless).
namespace kelvra::platform {

// chdir to a UTF-8 path; false if it failed.
bool posixChangeDirectory(std::string_view path);

// The running executable's file name without its extension.
std::string posixExecutableName();

}  // namespace kelvra::platform
