#include "cli/StationWait.h"

#include "cli/RecordText.h"

namespace kelvra::cli {

bool tickUntil(CliStation& station, Pace& pace, int stopsToEnd,
               const std::function<bool()>& ready) {
    while (!ready()) {
        if (pace.stops() >= stopsToEnd || !station.fatalError().empty()) {
            return false;
        }
        pace.second();
        if (pace.stops() >= stopsToEnd) {
            return false;
        }
        station.tick();
    }
    return station.fatalError().empty();
}

std::string pairName(const CliStation& station) {
    std::string name = serialText(station.slotA.serialYear, station.slotA.serialNumber);
    name += '_';
    name += serialText(station.slotB.serialYear, station.slotB.serialNumber);
    return name;
}

}  // namespace kelvra::cli
