#pragma once

#include <string>

#include "platform/dialog/WinDefs.h"

namespace kelvra::platform {

// The icon resource `iconId` at the system's icon size; nullptr if there is none.
IconHandle LoadIconResource(int iconId);

// The string table entry `stringId` (UTF-8); empty if there is none.
std::string LoadStringResource(int stringId);

}  // namespace kelvra::platform
