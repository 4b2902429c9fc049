#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "download/ChannelLevels.h"
#include "download/RecordIdentity.h"
#include "platform/json/JsonReader.h"
#include "platform/json/JsonWriter.h"

namespace kelvra {

// The manifest a download keeps in every folder it writes to: one line per file written
// completely, in JSON, appended once the file has its name. It is what tells a file that holds
// a record from one that only has its name.
inline constexpr const char* kManifestFileName = "kelvra-manifest.jsonl";

// What a manifest may hold before it is read no further. A line is a few hundred bytes, so a
// manifest of this size notes well over a hundred thousand downloads.
inline constexpr std::size_t kMaxManifestBytes = std::size_t{64} << 20;
inline constexpr std::size_t kMaxManifestLineBytes = std::size_t{64} << 10;

struct ManifestEntry {
    std::string file;  // the name in the folder
    std::uint64_t size = 0;
    std::string sha256;  // hex
    RecordIdentity record;
    std::string readMode;      // "basic stream", "single sectors" or "batches"
    std::string downloadedAt;  // local time, ISO 8601
    std::int32_t recoveries = 0;
    // Nothing in lines written before the manifest noted levels. Read back, a channel's sample
    // count is not known (0).
    std::optional<FileChannels> channels;
};

// The channels as the manifest and `download --json` write them: left, then right, each
// {"block", "peakDbfs", "rmsDbfs", "clipped", "silent"}, levels in dBFS to two decimals.
std::vector<platform::JsonObject> channelsJson(const FileChannels& channels);
// A record's identity as the manifest writes it (its "record", "blockA" and "blockB" members),
// and back; nothing when those members are missing or malformed.
void addRecordIdentity(platform::JsonObject& object, const RecordIdentity& record);
std::optional<RecordIdentity> parseRecordIdentity(const platform::JsonFields& fields);

// One line of the manifest, and back; nothing for a line that is not an entry.
std::string manifestLine(const ManifestEntry& entry);
std::optional<ManifestEntry> parseManifestLine(const std::string& line);

// A folder's manifest as read: for each file name the entry written last, since a later
// download of that name replaced the file.
class DownloadManifest {
public:
    // Reads `folder`'s manifest; a missing one is empty. A line that cannot be read, or whose
    // file is not a plain name in the folder, is kept in `unreadable` ("kelvra-manifest.jsonl
    // line 3: not an entry, ignored") and otherwise ignored. A manifest that is not a regular
    // file, is larger than kMaxManifestBytes or cannot be read is left unread and empty, and
    // `error` says why (as the first line of `unreadable` too).
    static DownloadManifest load(const std::string& folder);

    // The entry for a file of the folder, if the manifest has one.
    const ManifestEntry* entryFor(const std::string& file) const;
    const std::map<std::string, ManifestEntry>& entries() const { return entries_; }
    const std::vector<std::string>& unreadable() const { return unreadable_; }
    // Why the manifest as a whole was not read; empty when it was, or is missing.
    const std::string& error() const { return error_; }

    // Appends `entry` to `folder`'s manifest and flushes it to the disk; when that fails, or
    // the entry has no hash, `failure`, if given, says why.
    static bool append(const std::string& folder, const ManifestEntry& entry,
                       std::string* failure = nullptr);

private:
    void readLine(int number, const std::string& line);

    std::map<std::string, ManifestEntry> entries_;
    std::vector<std::string> unreadable_;
    std::string error_;
};

// The file that the manifest attributes to a record with all the copies `wanted` reads, whose
// bytes still have the hash it noted, and that `accept` (when given) takes as that record's;
// nothing when there is none.
std::optional<std::string> intactFileOf(
    const std::string& folder, const DownloadManifest& manifest, const RecordIdentity& wanted,
    const std::function<bool(const std::string& file)>& accept = {});

// What a file of the folder holds as far as its manifest entry and its bytes tell.
enum class FileCheck { Ok, Changed, Missing };
FileCheck checkFile(const std::string& folder, const ManifestEntry& entry);

}  // namespace kelvra
