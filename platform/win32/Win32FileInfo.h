#pragma once

#include <windows.h>

#include <string>

namespace kelvra::platform {

// A plain file on a disk with no other name: writing it, or replacing it, touches nobody
// else's data.
bool soleRegularFile(HANDLE file, BY_HANDLE_FILE_INFORMATION& info);

// Opens what is at `path` for its attributes only, not following a reparse point and sharing
// everything, so that nothing holding the file stands in the way.
HANDLE openAttributesOnly(const std::wstring& path);

}  // namespace kelvra::platform
