#pragma once

#include <string>

#include "platform/dialog/ResourceTable.h"

namespace kelvra {

// The dialog templates and the string table as resource script statements, for the Windows
// resource compiler (UTF-8, code page 65001). Styles are written as numbers, so the executable's
// dialogs carry exactly the bits of the table.
std::string resourceScript(const platform::ResourceTable& resources);

}  // namespace kelvra
