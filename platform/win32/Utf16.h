#pragma once

#include <string>

namespace kelvra::platform {

// The Win32 backends speak the wide API; the system's texts and file names are UTF-8.
std::wstring toUtf16(const std::string& utf8);
std::string toUtf8(const std::wstring& utf16);

}  // namespace kelvra::platform
