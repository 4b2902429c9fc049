#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "download/RecordIdentity.h"

namespace kelvra {

// Which record a partial file holds, told by a small file beside it ("NAME.wav.part.json"),
// written before the partial file gets its first byte and removed once the file has its name.
// A later download continues a partial file only for the very record this names.
struct PartialRecord {
    RecordIdentity record;
    std::uint32_t sampleRate = 0;
    std::uint64_t channelBytes = 0;

    bool operator==(const PartialRecord&) const = default;
};

// The name of the file beside the partial file of `fileName` (a record's complete name).
std::string partialRecordFileName(const std::string& fileName);

// What the folder says of the partial file of `fileName`: nothing when its record file is
// missing, torn or unreadable (the partial file is then no one's to continue).
std::optional<PartialRecord> readPartialRecord(const std::string& folder,
                                               const std::string& fileName);

// Replaces the record file of `fileName` by one naming `partial`, on the disk when this
// returns true; otherwise `failure` says why.
bool writePartialRecord(const std::string& folder, const std::string& fileName,
                        const PartialRecord& partial, std::string& failure);

// Where a record continues whose partial file holds `frameBytes` bytes of frames after its
// header: from the last whole pair of sectors it holds, less `overlapPairs` pairs read again to
// compare with the file. A pair is 1024 bytes of frames, the record's last one maybe fewer.
struct ResumePoint {
    std::uint32_t firstSector = 0;   // the first pair read from the blocks
    std::uint64_t keptBytes = 0;     // the frames kept before it
    std::uint64_t overlapBytes = 0;  // the frames after those, compared with what is read again
};
ResumePoint resumePointOf(std::uint64_t frameBytes, std::uint64_t channelBytes,
                          std::uint32_t overlapPairs);

// Removes the record file of `fileName`, if any; one left behind is harmless.
void removePartialRecord(const std::string& folder, const std::string& fileName);

}  // namespace kelvra
