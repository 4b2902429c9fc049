#include "download/DownloadManifest.h"

#include <algorithm>
#include <filesystem>

#include "download/PlainFileName.h"
#include "platform/file/AppendFile.h"
#include "platform/file/FilePath.h"
#include "platform/file/RegularFile.h"
#include "platform/hash/Sha256.h"
#include "platform/json/JsonReader.h"
#include "platform/json/JsonWriter.h"

namespace kelvra {

namespace {

std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

platform::JsonObject copyObject(const BlockCopy& copy) {
    char serial[32];
    std::snprintf(serial, sizeof serial, "%04d-%03d", 2000 + copy.serialYear, copy.serialNumber);
    platform::JsonObject object;
    object.add("serial", std::string(serial))
        .add("serialYear", std::int64_t{copy.serialYear})
        .add("serialNumber", std::int64_t{copy.serialNumber})
        .add("firmware", std::int64_t{copy.firmware})
        .add("entryAddress", std::int64_t{copy.entryAddress})
        .add("record", std::int64_t{copy.recordNo});
    return object;
}

void addCopy(platform::JsonObject& object, const char* name, const std::optional<BlockCopy>& copy) {
    if (copy) {
        object.add(name, copyObject(*copy));
    } else {
        object.addNull(name);
    }
}

std::optional<std::int32_t> int32Field(const platform::JsonFields& fields, const char* name) {
    const auto value = fields.integer(name);
    if (!value || *value < INT32_MIN || *value > INT32_MAX) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

std::optional<std::uint16_t> uint16Field(const platform::JsonFields& fields, const char* name) {
    const auto value = fields.integer(name);
    if (!value || *value < 0 || *value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

// A copy as written, or nothing; `valid` turns false when the field is there but malformed.
std::optional<BlockCopy> parseCopy(const platform::JsonFields& fields, const char* name,
                                   bool& valid) {
    const auto object = fields.object(name);
    if (!object) {
        valid = valid && fields.has(name);
        return std::nullopt;
    }
    const auto year = int32Field(*object, "serialYear");
    const auto number = int32Field(*object, "serialNumber");
    const auto firmware = int32Field(*object, "firmware");
    const auto address = int32Field(*object, "entryAddress");
    const auto record = int32Field(*object, "record");
    if (!year || !number || !firmware || !address || !record) {
        valid = false;
        return std::nullopt;
    }
    return BlockCopy{*year, *number, *firmware, *address, *record};
}

void addLevel(platform::JsonObject& object, const char* name, const std::optional<double>& dbfs) {
    if (dbfs) {
        object.addFixed(name, *dbfs, 2);
    } else {
        object.addNull(name);
    }
}

// A level as written: a number, or null for a channel of zeros; `valid` turns false for
// anything else.
std::optional<double> parseLevel(const platform::JsonFields& fields, const char* name,
                                 bool& valid) {
    const auto value = fields.number(name);
    valid = valid && (value || fields.isNull(name));
    return value;
}

// Both channels as written, or nothing when they are not.
std::optional<FileChannels> parseChannels(const std::vector<platform::JsonFields>& array) {
    if (array.size() != 2) {
        return std::nullopt;
    }
    FileChannels channels;
    for (std::size_t i = 0; i < 2; ++i) {
        const platform::JsonFields& fields = array[i];
        FileChannel& channel = channels[i];
        const auto block = fields.string("block");
        bool valid = fields.isNull("block") || block == "A" || block == "B";
        if (valid && block) {
            channel.block = block->front();
        }
        channel.levels.peakDbfs = parseLevel(fields, "peakDbfs", valid);
        channel.levels.rmsDbfs = parseLevel(fields, "rmsDbfs", valid);
        const auto clipped = fields.integer("clipped");
        const auto silent = fields.boolean("silent");
        if (!valid || !clipped || *clipped < 0 || !silent) {
            return std::nullopt;
        }
        channel.levels.clipped = static_cast<std::uint64_t>(*clipped);
        channel.levels.silent = *silent;
    }
    return channels;
}

}  // namespace

std::vector<platform::JsonObject> channelsJson(const FileChannels& channels) {
    std::vector<platform::JsonObject> array;
    for (const FileChannel& channel : channels) {
        platform::JsonObject object;
        if (channel.block) {
            object.add("block", std::string(1, *channel.block));
        } else {
            object.addNull("block");
        }
        addLevel(object, "peakDbfs", channel.levels.peakDbfs);
        addLevel(object, "rmsDbfs", channel.levels.rmsDbfs);
        object.add("clipped", static_cast<std::int64_t>(channel.levels.clipped))
            .add("silent", channel.levels.silent);
        array.push_back(object);
    }
    return array;
}

void addRecordIdentity(platform::JsonObject& object, const RecordIdentity& record) {
    platform::JsonObject recordObject;
    recordObject.add("time", record.time)
        .add("record", std::int64_t{record.recordNo})
        .add("sampleRate", std::int64_t{record.sampleRate})
        .add("duration", std::int64_t{record.duration})
        .add("entryInfo", record.entryInfo);
    object.add("record", recordObject);
    addCopy(object, "blockA", record.blockA);
    addCopy(object, "blockB", record.blockB);
}

std::optional<RecordIdentity> parseRecordIdentity(const platform::JsonFields& fields) {
    const auto record = fields.object("record");
    if (!record) {
        return std::nullopt;
    }
    const auto time = record->string("time");
    const auto recordNo = int32Field(*record, "record");
    const auto rate = uint16Field(*record, "sampleRate");
    const auto duration = uint16Field(*record, "duration");
    const auto info = record->string("entryInfo");
    if (!time || !recordNo || !rate || !duration || !info) {
        return std::nullopt;
    }
    RecordIdentity identity;
    identity.time = *time;
    identity.recordNo = *recordNo;
    identity.sampleRate = *rate;
    identity.duration = *duration;
    identity.entryInfo = *info;
    bool valid = true;
    identity.blockA = parseCopy(fields, "blockA", valid);
    identity.blockB = parseCopy(fields, "blockB", valid);
    if (!valid || (!identity.blockA && !identity.blockB)) {
        return std::nullopt;
    }
    return identity;
}

std::string manifestLine(const ManifestEntry& entry) {
    platform::JsonObject object;
    object.add("file", entry.file)
        .add("size", static_cast<std::int64_t>(entry.size))
        .add("sha256", entry.sha256);
    addRecordIdentity(object, entry.record);
    object.add("readMode", entry.readMode)
        .add("downloadedAt", entry.downloadedAt)
        .add("recoveries", std::int64_t{entry.recoveries});
    if (entry.channels) {
        object.add("channels", channelsJson(*entry.channels));
    }
    return object.text();
}

std::optional<ManifestEntry> parseManifestLine(const std::string& line) {
    const auto fields = platform::parseJsonObject(line);
    if (!fields) {
        return std::nullopt;
    }
    const auto record = parseRecordIdentity(*fields);
    const auto file = fields->string("file");
    const auto size = fields->integer("size");
    const auto sha256 = fields->string("sha256");
    if (!record || !file || file->empty() || !size || *size < 0 || !sha256) {
        return std::nullopt;
    }
    ManifestEntry entry;
    entry.file = *file;
    entry.size = static_cast<std::uint64_t>(*size);
    entry.sha256 = *sha256;
    entry.record = *record;
    entry.readMode = fields->string("readMode").value_or("");
    entry.downloadedAt = fields->string("downloadedAt").value_or("");
    entry.recoveries = int32Field(*fields, "recoveries").value_or(0);
    // Older lines have no channels; a line whose channels are there but malformed was not
    // written by a download.
    if (fields->has("channels")) {
        const auto array = fields->objects("channels");
        entry.channels = array ? parseChannels(*array) : std::nullopt;
        if (!entry.channels) {
            return std::nullopt;
        }
    }
    return entry;
}

DownloadManifest DownloadManifest::load(const std::string& folder) {
    DownloadManifest manifest;
    const platform::FileRead read = platform::readRegularFile(
        platform::pathInFolder(folder, kManifestFileName), kMaxManifestBytes);
    switch (read.status) {
        case platform::FileReadStatus::Missing:
            return manifest;
        case platform::FileReadStatus::NotRegular:
            manifest.error_ = "not a regular file (a link, FIFO, device or folder), not read";
            break;
        case platform::FileReadStatus::TooLarge:
            manifest.error_ = "larger than ";
            manifest.error_ += std::to_string(kMaxManifestBytes >> 20);
            manifest.error_ += " MiB, not read";
            break;
        case platform::FileReadStatus::Failed:
            manifest.error_ = "cannot be read: ";
            manifest.error_ += read.failure;
            break;
        case platform::FileReadStatus::Read:
            break;
    }
    if (!manifest.error_.empty()) {
        manifest.error_ = std::string(kManifestFileName) + ": " + manifest.error_;
        manifest.unreadable_.push_back(manifest.error_);
        return manifest;
    }
    std::size_t start = 0;
    for (int number = 1; start < read.bytes.size(); ++number) {
        const std::size_t end = std::min(read.bytes.find('\n', start), read.bytes.size());
        std::string line = read.bytes.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            manifest.readLine(number, line);
        }
    }
    return manifest;
}

void DownloadManifest::readLine(int number, const std::string& line) {
    std::string problem;
    std::optional<ManifestEntry> entry;
    if (line.size() > kMaxManifestLineBytes) {
        // Appended piece by piece: GCC 12 for 32-bit Windows warns falsely of overlapping
        // copies in "text" + std::string.
        problem = "longer than ";
        problem += std::to_string(kMaxManifestLineBytes >> 10);
        problem += " KiB, ignored";
    } else if (platform::nestsDeeperThan(line, platform::kMaxJsonDepth)) {
        problem = "nested deeper than ";
        problem += std::to_string(platform::kMaxJsonDepth);
        problem += " levels, ignored";
    } else if (entry = parseManifestLine(line); !entry) {
        problem = "not an entry, ignored";
    } else if (!isPlainFileName(entry->file)) {
        // The name itself is not repeated: it may hold anything, escapes for the terminal too.
        problem = "its file is not a plain name in the folder, not usable, ignored";
    }
    if (!problem.empty()) {
        unreadable_.push_back(std::string(kManifestFileName) + " line " + std::to_string(number) +
                              ": " + problem);
        return;
    }
    const std::string name = entry->file;
    entries_.insert_or_assign(name, std::move(*entry));
}

const ManifestEntry* DownloadManifest::entryFor(const std::string& file) const {
    const auto found = entries_.find(file);
    return found == entries_.end() ? nullptr : &found->second;
}

bool DownloadManifest::append(const std::string& folder, const ManifestEntry& entry,
                              std::string* failure) {
    // A line without the hash would vouch for whatever bytes come to bear the name.
    if (entry.sha256.empty()) {
        if (failure != nullptr) {
            *failure = "its SHA-256 could not be computed";
        }
        return false;
    }
    return platform::appendLine(platform::pathInFolder(folder, kManifestFileName),
                                manifestLine(entry), failure);
}

FileCheck checkFile(const std::string& folder, const ManifestEntry& entry) {
    const std::string path = platform::pathInFolder(folder, entry.file);
    std::error_code error;
    const auto status = std::filesystem::symlink_status(utf8Path(path), error);
    if (!std::filesystem::exists(status)) {
        return FileCheck::Missing;
    }
    if (!std::filesystem::is_regular_file(status) ||
        std::filesystem::file_size(utf8Path(path), error) != entry.size || error) {
        return FileCheck::Changed;
    }
    const auto hash = platform::sha256OfFile(path);
    return hash && *hash == entry.sha256 ? FileCheck::Ok : FileCheck::Changed;
}

std::optional<std::string> intactFileOf(const std::string& folder, const DownloadManifest& manifest,
                                        const RecordIdentity& wanted,
                                        const std::function<bool(const std::string&)>& accept) {
    for (const auto& [name, entry] : manifest.entries()) {
        if (holdsAllOf(entry.record, wanted) && checkFile(folder, entry) == FileCheck::Ok &&
            (!accept || accept(name))) {
            return name;
        }
    }
    return std::nullopt;
}

}  // namespace kelvra
