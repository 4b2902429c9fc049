#include "records/RecordListLine.h"

#include <cstdio>

namespace kelvra {

std::string recordMarker(const RecordInfo& row) {
    std::string marker = "___";
    if (row.addrA != kNoCopy) {
        marker[row.swapped == 0 ? 0 : 2] = row.swapped == 0 ? 'A' : 'B';
    }
    if (row.addrB != kNoCopy) {
        marker[row.swapped == 0 ? 2 : 0] = row.swapped == 0 ? 'B' : 'A';
    }
    return marker;
}

std::string recordListLine(const RecordInfo& row) {
    char line[96];
    const std::string marker = recordMarker(row);
    if (row.recordNo == 1) {
        std::snprintf(line, sizeof line, "%2d/%2d/%4d\t%02d:%02d:%02d\tЗапись %d\t%s", row.day,
                      row.month, 2000 + row.year, row.hour, row.minute, row.second, row.recordNo,
                      marker.c_str());
    } else {
        std::snprintf(line, sizeof line, "\t\tЗапись %d\t%s", row.recordNo, marker.c_str());
    }
    return line;
}

}  // namespace kelvra
