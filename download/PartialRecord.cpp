#include "download/PartialRecord.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "download/DownloadManifest.h"
#include "link/LinkBytes.h"
#include "platform/file/AppendFile.h"
#include "platform/file/FilePath.h"
#include "platform/file/RegularFile.h"
#include "platform/json/JsonReader.h"
#include "platform/json/JsonWriter.h"

namespace kelvra {

namespace {

// A record file is one line of a few hundred bytes.
constexpr std::size_t kMaxPartialRecordBytes = 16384;

std::string recordFilePath(const std::string& folder, const std::string& fileName) {
    return platform::pathInFolder(folder, partialRecordFileName(fileName));
}

bool removeFile(const std::string& path, std::string* failure) {
    std::error_code error;
    std::filesystem::remove(std::filesystem::path(std::u8string(path.begin(), path.end())), error);
    if (error && failure != nullptr) {
        *failure = error.message();
    }
    return !error;
}

}  // namespace

std::string partialRecordFileName(const std::string& fileName) {
    return platform::partialFileName(fileName) + ".json";
}

std::optional<PartialRecord> readPartialRecord(const std::string& folder,
                                               const std::string& fileName) {
    const platform::FileRead read =
        platform::readRegularFile(recordFilePath(folder, fileName), kMaxPartialRecordBytes);
    // One whole line: a file cut short by a power cut lacks its newline.
    if (read.status != platform::FileReadStatus::Read || read.bytes.empty() ||
        read.bytes.find('\n') != read.bytes.size() - 1) {
        return std::nullopt;
    }
    const auto fields = platform::parseJsonObject(read.bytes.substr(0, read.bytes.size() - 1));
    if (!fields) {
        return std::nullopt;
    }
    const auto record = parseRecordIdentity(*fields);
    const auto rate = fields->integer("sampleRate");
    const auto channelBytes = fields->integer("channelBytes");
    if (!record || !rate || *rate < 0 || *rate > 0xFFFFFFFF || !channelBytes || *channelBytes < 0) {
        return std::nullopt;
    }
    return PartialRecord{*record, static_cast<std::uint32_t>(*rate),
                         static_cast<std::uint64_t>(*channelBytes)};
}

bool writePartialRecord(const std::string& folder, const std::string& fileName,
                        const PartialRecord& partial, std::string& failure) {
    platform::JsonObject object;
    object.add("file", platform::partialFileName(fileName));
    addRecordIdentity(object, partial.record);
    object.add("sampleRate", std::int64_t{partial.sampleRate})
        .add("channelBytes", static_cast<std::int64_t>(partial.channelBytes));
    const std::string path = recordFilePath(folder, fileName);
    return removeFile(path, &failure) && platform::appendLine(path, object.text(), &failure);
}

ResumePoint resumePointOf(std::uint64_t frameBytes, std::uint64_t channelBytes,
                          std::uint32_t overlapPairs) {
    constexpr std::uint64_t kPairBytes = 2 * kSectorSize;
    const bool whole = frameBytes >= 2 * channelBytes;
    const std::uint64_t pairs =
        whole ? (channelBytes + kSectorSize - 1) / kSectorSize : frameBytes / kPairBytes;
    const std::uint64_t held = whole ? 2 * channelBytes : pairs * kPairBytes;
    const std::uint64_t first = pairs - std::min<std::uint64_t>(pairs, overlapPairs);
    return {static_cast<std::uint32_t>(first), first * kPairBytes, held - first * kPairBytes};
}

void removePartialRecord(const std::string& folder, const std::string& fileName) {
    removeFile(recordFilePath(folder, fileName), nullptr);
}

}  // namespace kelvra
