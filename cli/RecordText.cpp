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

namespace {

// The dates a block's two BCD digits of year can hold.
constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2099;

int daysIn(int year, int month) {
    constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : days[month - 1];
}

ParsedMoment refused(std::string error) {
    return {std::nullopt, std::move(error)};
}

}  // namespace

ParsedMoment parseMoment(const std::string& text) {
    const std::string expected = std::string("expected ") + kMomentSpellings;
    if (text.empty()) {
        return refused("empty; " + expected);
    }
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int used = 0;
    bool wellFormed = text.size() >= 10 &&
                      std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used) == 3 &&
                      used == 10;
    if (wellFormed && text.size() > 10) {
        int timeUsed = 0;
        wellFormed = std::sscanf(text.c_str() + 10, "T%2d:%2d%n", &hour, &minute, &timeUsed) == 2 &&
                     timeUsed == 6;
        if (wellFormed && text.size() > 16) {
            int secondUsed = 0;
            wellFormed = std::sscanf(text.c_str() + 16, ":%2d%n", &second, &secondUsed) == 1 &&
                         secondUsed == 3 && text.size() == 19;
        }
    }
    if (!wellFormed) {
        return refused("not a date; " + expected);
    }
    if (year < kFirstYear || year > kLastYear) {
        return refused("blocks keep dates from 2000-01-01 to 2099-12-31");
    }
    if (month < 1 || month > 12) {
        return refused("there is no month " + std::to_string(month));
    }
    if (day < 1 || day > daysIn(year, month)) {
        char what[64];
        std::snprintf(what, sizeof what, "%04d-%02d has %d days", year, month, daysIn(year, month));
        return refused(what);
    }
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return refused("not a time of day; hours run 00 to 23, minutes and seconds 00 to 59");
    }
    return {moment(year - 2000, month, day, hour, minute, second), {}};
}

std::string describeBlock(bool roleA, int serialYear, int serialNumber, int firmware) {
    char text[96];
    std::snprintf(text, sizeof text, "block %c, S/N %4d-%03d, firmware %d.%d", roleA ? 'A' : 'B',
                  serialYear + 2000, serialNumber, firmware / 10, firmware % 10);
    return text;
}

std::string serialText(int serialYear, int serialNumber) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%03d", serialYear + 2000, serialNumber);
    return text;
}

}  // namespace kelvra::cli
