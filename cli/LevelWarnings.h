#pragma once

#include <string>
#include <vector>

#include "download/ChannelLevels.h"

namespace kelvra::cli {

// What a written file's channels say of the blocks, a line each, for the user to see before
// the recorder is cleared: "warning: NAME.wav: block B's channel is silent", "warning:
// NAME.wav: block A's channel has 540 clipped samples (0.3 %)". A channel that holds no
// block's copy gives none: a block that was absent was told before the job began. The share of
// clipped samples has one decimal, or two significant digits below 0.05 %, so that a few
// clipped samples never read as 0.
std::vector<std::string> levelWarnings(const std::string& file, const FileChannels& channels);

}  // namespace kelvra::cli
