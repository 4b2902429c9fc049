#pragma once

#include "platform/dialog/ResourceTable.h"

namespace kelvra {

// Kelvra's windows, string table and icon: what the program hands to the dialog framework. The
// Windows resource script's dialogs and strings are generated from the same table.
const platform::ResourceTable& kelvraResources();

}  // namespace kelvra
