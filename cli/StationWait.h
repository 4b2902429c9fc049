#pragma once

#include <functional>

#include "cli/CliStation.h"
#include "cli/Pace.h"

namespace kelvra::cli {

// Ticks the station once a second, as the window's timer does, until `ready` holds. False once
// the pace has had `stopsToEnd` stop requests, or a fatal link error ended the work.
bool tickUntil(CliStation& station, Pace& pace, int stopsToEnd, const std::function<bool()>& ready);

// Block A's and block B's serial numbers as their panels show them, joined: "2018-042_2018-043".
std::string pairName(const CliStation& station);

}  // namespace kelvra::cli
