#include "cli/CliStation.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/ExitStatus.h"
#include "download/DownloadSession.h"
#include "link/Messages.h"
#include "platform/serial/PortNames.h"
#include "platform/serial/PortProbe.h"
#include "records/RecordTableRead.h"

namespace kelvra::cli {

CliStation::CliStation(platform::SerialBackend& backend, platform::Clock& clock)
    : monitor_(slotA, slotB, backend, clock, *this) {
    monitor_.leaveClockAlone();
}

bool CliStation::discover() {
    monitor_.scanPorts();
    return fatalError_.empty();
}

bool CliStation::readTable() {
    const RecordTableRead read = readRecordTable(slotA, slotB);
    if (read.failure != nullptr) {
        fatalLinkError(read.failure);
        return false;
    }
    rowCount_ = read.table.rowCount();
    for (int i = 0; i < rowCount_; ++i) {
        recordTable[static_cast<std::size_t>(i)] = read.table.row(i);
    }
    return true;
}

bool CliStation::readTableTwice(bool& steady) {
    steady = false;
    if (!readTable()) {
        return false;
    }
    const std::vector<RecordInfo> first(recordTable.begin(), recordTable.begin() + rowCount_);
    if (!readTable()) {
        return false;
    }
    steady = std::equal(first.begin(), first.end(), recordTable.begin(),
                        recordTable.begin() + rowCount_);
    return true;
}

bool CliStation::recoveryPending() const {
    return session_ != nullptr && session_->recoveryPending();
}

void CliStation::fatalLinkError(const char* message) {
    if (fatalError_.empty()) {
        fatalError_ = message;
    }
}

int openStation(CliStation& station, bool withTable) {
    if (!station.discover()) {
        return linkFailure(station);
    }
    if (!station.anyBlock()) {
        return noBlocksFound();
    }
    if (withTable && !station.readTable()) {
        return linkFailure(station);
    }
    return kExitDone;
}

int noBlocksFound() {
    // A port held by another program (a download already running, say) is no port without a
    // block: that is worth saying.
    std::string busy;
    for (int index = 0; index < platform::kPortCount; ++index) {
        if (platform::probePort(index).access == platform::PortAccess::Busy) {
            busy += (busy.empty() ? "COM" : ", COM") + std::to_string(index + 1);
        }
    }
    if (busy.empty()) {
        std::fprintf(stderr, "No blocks found on COM1 to COM29\n");
    } else {
        std::fprintf(stderr,
                     "No blocks found on COM1 to COM29; %s busy: held by another program, such "
                     "as a running Kelvra or kelvra-cli (kelvra-cli ports tells more)\n",
                     busy.c_str());
    }
    return kExitNoBlocks;
}

int linkFailure(const CliStation& station) {
    std::fprintf(stderr, "%s\n", station.fatalError().c_str());
    return kExitFailed;
}

}  // namespace kelvra::cli
