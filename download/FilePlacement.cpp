#include "download/FilePlacement.h"

#include <filesystem>
#include <set>

#include "download/DownloadQueue.h"
#include "download/WavFormat.h"
#include "platform/file/FilePath.h"

namespace kelvra {

namespace {

bool somethingAt(const std::string& path) {
    std::error_code error;
    const std::u8string name(path.begin(), path.end());
    return std::filesystem::exists(std::filesystem::symlink_status(name, error));
}

// Whether the record may be written at `name`: nothing of this job goes there already, and no
// file there holds another record.
bool mayWriteAt(const std::string& folder, const DownloadManifest& manifest,
                const std::set<std::string>& claimed, const std::string& name,
                const RecordIdentity& wanted) {
    if (claimed.contains(name)) {
        return false;
    }
    const ManifestEntry* entry = manifest.entryFor(name);
    return entry == nullptr || sameRecord(entry->record, wanted) ||
           !somethingAt(platform::pathInFolder(folder, name));
}

}  // namespace

std::vector<DownloadItem> placeFiles(DownloadJob& job, const RecordInfo* table,
                                     const std::string& folder, const DownloadManifest& manifest,
                                     bool skipExisting, const ContentConfirmation& confirmContent) {
    std::vector<DownloadItem> skipped;
    std::set<std::string> claimed;
    dropQueued(job, [&](DownloadItem& item) {
        if (skipExisting) {
            // A file the manifest gives to this record but whose content is not the record's
            // holds another recording: it is kept, as if this job had claimed it.
            std::vector<std::string> refuted;
            const auto confirmed = [&](const std::string& name) {
                if (!confirmContent || confirmContent(item, name)) {
                    return true;
                }
                refuted.push_back(name);
                return false;
            };
            if (auto file = intactFileOf(folder, manifest, item.identity, confirmed)) {
                item.fileName = std::move(*file);
                claimed.insert(item.fileName);
                skipped.push_back(item);
                return true;
            }
            claimed.insert(refuted.begin(), refuted.end());
        }
        const std::string plain = wavFileName(table[item.row]);
        while (!mayWriteAt(folder, manifest, claimed, item.fileName, item.identity)) {
            item.fileName = numberedFileName(plain, ++item.nameNumber);
        }
        claimed.insert(item.fileName);
        return false;
    });
    return skipped;
}

}  // namespace kelvra
