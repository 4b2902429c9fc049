#pragma once

#include <string>

namespace kelvra::platform {

// The system's words for the calling thread's last error, without the closing full stop and
// line break.
std::string systemReason();

}  // namespace kelvra::platform
