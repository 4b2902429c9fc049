#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "download/RecordIdentity.h"
#include "link/BlockPort.h"
#include "records/RecordInfo.h"

namespace kelvra::cli {

// "A", "B" or "both": the slots whose blocks hold a copy.
std::string blocksHolding(const RecordInfo& row);
// Seconds since 2000 in the table's own reckoning (every month of 31 days), for comparisons.
std::int64_t recordMoment(const RecordInfo& row);
// The spellings --since takes.
inline constexpr const char* kMomentSpellings =
    "YYYY-MM-DD, YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS";

// A date, or a date and time, as --since takes it, in the same reckoning; or what is wrong
// with it, for "--since <text>: <error>".
struct ParsedMoment {
    std::optional<std::int64_t> moment;
    std::string error;
};
ParsedMoment parseMoment(const std::string& text);
// "block A, S/N 2018-042, firmware 4.2"
std::string describeBlock(bool roleA, int serialYear, int serialNumber, int firmware);
// A block's serial number as its panel shows it: "2018-042".
std::string serialText(int serialYear, int serialNumber);

}  // namespace kelvra::cli
