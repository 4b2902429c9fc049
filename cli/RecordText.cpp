#include "cli/RecordText.h"

#include <cstdio>

namespace kelvra::cli {

namespace {

std::int64_t moment(int year, int month, int day, int hour, int minute, int second) {
    return ((((static_cast<std::int64_t>(year) * 12 + month) * 31 + day) * 24 + hour) * 60 +
            minute) *
               60 +
           second;
}

}  // namespace

std::string blocksHolding(const RecordInfo& row) {
    if (row.addrA != kNoCopy && row.addrB != kNoCopy) {
        return "both";
    }
    return row.addrA != kNoCopy ? "A" : "B";
}

std::int64_t recordMoment(const RecordInfo& row) {
    return moment(row.year, row.month, row.day, row.hour, row.minute, row.second);
}

std::optional<std::int64_t> parseMoment(const std::string& text) {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int used = 0;
    const int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used);
    if (fields != 3) {
        return std::nullopt;
    }
    if (static_cast<std::size_t>(used) < text.size()) {
        const std::string time = text.substr(static_cast<std::size_t>(used));
        int timeUsed = 0;
        const int timeFields = std::sscanf(time.c_str(), "T%2d:%2d%n", &hour, &minute, &timeUsed);
        if (timeFields != 2) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(timeUsed) < time.size()) {
            int secondUsed = 0;
            if (std::sscanf(time.c_str() + timeUsed, ":%2d%n", &second, &secondUsed) != 1 ||
                static_cast<std::size_t>(timeUsed + secondUsed) != time.size()) {
                return std::nullopt;
            }
        }
    }
    if (year < 2000 || year > 2255 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 59 || hour < 0 || minute < 0 || second < 0) {
        return std::nullopt;
    }
    return moment(year - 2000, month, day, hour, minute, second);
}

std::string describeBlock(bool roleA, int serialYear, int serialNumber, int firmware) {
    char text[96];
    std::snprintf(text, sizeof text, "block %c, S/N %4d-%03d, firmware %d.%d", roleA ? 'A' : 'B',
                  serialYear + 2000, serialNumber, firmware / 10, firmware % 10);
    return text;
}

}  // namespace kelvra::cli
