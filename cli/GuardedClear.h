#pragma once

#include <string>

#include "cli/CliStation.h"

namespace kelvra::cli {

enum class ClearGuard {
    Passed,      // every record is proven to be in the folder
    Refused,     // what stands in the way is on standard error; nothing may be cleared
    LinkFailed,  // the station's fatal error says why
};

// Whether the blocks' directories read the same twice and every record of the blocks present
// has an intact file in `folder` that its manifest attributes to the record and that holds
// what the blocks hold. Lists the records without one. The station's table is the one proven.
ClearGuard checkDownloadedTo(CliStation& station, const std::string& folder);

// Erases every record of the blocks present, as the window's button does, and reads the
// record table again. Empty when done; otherwise the message of what failed.
std::string clearBlocks(CliStation& station);

}  // namespace kelvra::cli
