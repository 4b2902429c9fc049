#pragma once

namespace kelvra::cli {

// The command line's exit statuses.
inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // a line failed, a link error, a refused request
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoBlocks = 3;

}  // namespace kelvra::cli
