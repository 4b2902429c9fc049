#pragma once

#include <string>

#include "records/RecordInfo.h"

namespace kelvra {

// The record list's tab stop, in dialog units.
inline constexpr int kRecordListTabStop = 45;

// The A_B marker: A where the row holds a copy made in role A, B for role B.
std::string recordMarker(const RecordInfo& row);

// The list line of a row: the date and time only on an entry's first record.
std::string recordListLine(const RecordInfo& row);

}  // namespace kelvra
