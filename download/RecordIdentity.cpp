#include "download/RecordIdentity.h"

#include <cstdio>
#include <vector>

namespace kelvra {

namespace {

BlockCopy copyOf(const CBlockPort& block, std::int32_t address, std::int32_t recordNo) {
    return {block.serialYear, block.serialNumber, block.firmware, address, recordNo};
}

bool sameBlock(const BlockCopy& left, const BlockCopy& right) {
    return left.serialYear == right.serialYear && left.serialNumber == right.serialNumber;
}

bool sameCopy(const BlockCopy& left, const BlockCopy& right) {
    return sameBlock(left, right) && left.entryAddress == right.entryAddress &&
           left.recordNo == right.recordNo;
}

// The copies of an identity whatever slot they sat in: blocks that came back in each other's
// slots still hold the same records.
std::vector<BlockCopy> copies(const RecordIdentity& identity) {
    std::vector<BlockCopy> all;
    for (const auto& copy : {identity.blockA, identity.blockB}) {
        if (copy) {
            all.push_back(*copy);
        }
    }
    return all;
}

bool sameEntry(const RecordIdentity& left, const RecordIdentity& right) {
    return left.time == right.time && left.recordNo == right.recordNo &&
           left.sampleRate == right.sampleRate && left.duration == right.duration &&
           left.entryInfo == right.entryInfo;
}

}  // namespace

RecordIdentity identityOf(const RecordInfo& row, const CBlockPort& slotA, bool useA,
                          const CBlockPort& slotB, bool useB) {
    RecordIdentity identity;
    if (useA) {
        identity.blockA = copyOf(slotA, row.addrA, row.recordNo);
    }
    if (useB) {
        identity.blockB = copyOf(slotB, row.addrB, row.recordNo);
    }
    identity.time = isoDateTime(row);
    identity.recordNo = row.recordNo;
    identity.sampleRate = row.sampleRate;
    identity.duration = row.duration;
    char info[9];
    std::snprintf(info, sizeof info, "%02x%02x%02x%02x", row.entryInfo[0], row.entryInfo[1],
                  row.entryInfo[2], row.entryInfo[3]);
    identity.entryInfo = info;
    return identity;
}

std::string isoDateTime(const RecordInfo& row) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", 2000 + row.year, row.month,
                  row.day, row.hour, row.minute, row.second);
    return text;
}

bool sameRecord(const RecordIdentity& file, const RecordIdentity& wanted) {
    if (!sameEntry(file, wanted)) {
        return false;
    }
    bool shared = false;
    for (const BlockCopy& had : copies(file)) {
        for (const BlockCopy& want : copies(wanted)) {
            if (sameBlock(had, want)) {
                if (!sameCopy(had, want)) {
                    return false;
                }
                shared = true;
            }
        }
    }
    return shared;
}

bool holdsCopy(const RecordIdentity& file, const BlockCopy& copy) {
    for (const BlockCopy& had : copies(file)) {
        if (sameCopy(had, copy)) {
            return true;
        }
    }
    return false;
}

bool holdsAllOf(const RecordIdentity& file, const RecordIdentity& wanted) {
    if (!sameRecord(file, wanted)) {
        return false;
    }
    for (const BlockCopy& want : copies(wanted)) {
        if (!holdsCopy(file, want)) {
            return false;
        }
    }
    return true;
}

}  // namespace kelvra
