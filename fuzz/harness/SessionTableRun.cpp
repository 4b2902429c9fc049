#include "fuzz/harness/SessionTableRun.h"

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/harness/ReplyStream.h"
#include "fuzz/harness/StreamPort.h"
#include "link/LinkBytes.h"
#include "platform/headless/DialogDriver.h"
#include "resources/KelvraResources.h"
#include "tools/blocksim/VirtualClock.h"
#include "ui/ParamSet.h"
#include "ui/SessionTable.h"

namespace kelvra::fuzz {

namespace {

constexpr std::size_t kSectorRequestSize = 5;

// The sector addresses of the read requests on the wire, in order.
std::vector<std::uint32_t> sectorRequests(const std::vector<std::uint8_t>& wire) {
    std::vector<std::uint32_t> sectors;
    for (std::size_t i = 0; i + kSectorRequestSize <= wire.size();) {
        if (wire[i] != CmdReadSector) {
            ++i;
            continue;
        }
        sectors.push_back(static_cast<std::uint32_t>(wire[i + 1]) |
                          static_cast<std::uint32_t>(wire[i + 2]) << 8 |
                          static_cast<std::uint32_t>(wire[i + 3]) << 16 |
                          static_cast<std::uint32_t>(wire[i + 4]) << 24);
        i += kSectorRequestSize;
    }
    return sectors;
}

void checkLines(platform::CListBox list, Findings& findings) {
    expect(findings, list.GetCount() == kSessionLines,
           "the table has " + std::to_string(list.GetCount()) + " lines");
    for (int i = 0; i < list.GetCount(); ++i) {
        const std::string line = list.GetText(i);
        const std::string index = std::string(i < 10 ? "0" : "") + std::to_string(i);
        expect(findings, line.starts_with(index + " "),
               "line " + index + " does not begin with its number");
        expect(findings, std::count(line.begin(), line.end(), '\t') == 3,
               "line " + index + " does not have its four columns: " + line);
    }
}

// Sessions lie at one distance from each other from the first session sector on; the table
// must not wrap around the block's memory.
void checkSectors(const std::vector<std::uint32_t>& sectors, Findings& findings) {
    expect(findings, sectors.size() == static_cast<std::size_t>(kSessionLines),
           std::to_string(sectors.size()) + " sectors were read");
    if (sectors.size() < 2) {
        return;
    }
    const std::uint32_t stride = sectors[1] - sectors[0];
    expect(findings, sectors[0] == kFirstSessionSector && sectors[1] > sectors[0],
           "the first sessions are not read from sector 2 upward");
    for (std::size_t i = 2; i < sectors.size(); ++i) {
        expect(findings, sectors[i] > sectors[i - 1] && sectors[i] - sectors[i - 1] == stride,
               "session " + std::to_string(i) + " is not read at the sessions' distance");
    }
}

}  // namespace

Findings runSessionTable(std::span<const std::uint8_t> input) {
    Findings findings;
    platform::headless::DialogDriver driver;
    blocksim::VirtualClock clock;
    ReplyStream replies(input, clock);
    StreamPort port(replies);
    platform::UseResources(kelvraResources());
    CParamSet dialog([&port]() -> platform::SerialPort* { return &port; });
    driver.open(dialog);
    driver.click(dialog, IDC_SESSIONS);
    checkLines(dialog.GetListBox(IDC_SESSION_LIST), findings);
    checkSectors(sectorRequests(port.written()), findings);
    driver.click(dialog, IDC_SET_SERIAL);
    driver.finish(dialog);
    return findings;
}

}  // namespace kelvra::fuzz
