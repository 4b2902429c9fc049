#pragma once

#include <string_view>

#include "platform/dialog/WinDefs.h"

namespace kelvra::platform {

// A modal message box with `text` (UTF-8), titled with the application name. `type` is MB_OK
// or MB_OKCANCEL, optionally with an MB_ICON* value; without one the exclamation icon is shown.
// Returns IDOK or IDCANCEL. Timer messages of open windows go on being handled while it is up.
// From a worker thread the box is shown by the window's thread and the call waits for the
// answer; with no window open (or once it has closed) nothing is shown and 0 is returned.
int AfxMessageBox(std::string_view text, unsigned type = MB_OK);

}  // namespace kelvra::platform
