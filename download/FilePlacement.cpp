#include "download/FilePlacement.h"

#include <set>

#include "download/DownloadQueue.h"
#include "download/WavFormat.h"
#include "platform/file/FilePath.h"
#include "platform/file/FolderEntry.h"
#include "platform/hash/Sha256.h"

namespace kelvra {

namespace {

// What a name of the folder offers a record.
struct NameJudgement {
    bool usable = false;
    // The file the record may replace there; nothing when the name is free.
    std::optional<platform::FileStamp> replaces;
    // Why the name is not usable, for the job's report.
    std::string keptBecause;
    // No name of the folder can be judged: placement stops there.
    bool unreachable = false;
};

// Past this " (n)" a record gives up looking for a name.
constexpr int kMaxNameNumber = 9999;

// The item as far as the file at a name holds it: only the copies in both are compared.
DownloadItem copiesBoth(const DownloadItem& item, const RecordIdentity& file) {
    DownloadItem shared = item;
    shared.useA = item.useA && item.identity.blockA && holdsCopy(file, *item.identity.blockA);
    shared.useB = item.useB && item.identity.blockB && holdsCopy(file, *item.identity.blockB);
    return shared;
}

// What the name offers the item: a file there is replaceable only when the manifest gives it
// to the same record and the new read holds every copy it holds.
NameJudgement judgeName(const std::string& folder, const DownloadManifest& manifest,
                        const std::set<std::string>& refuted,
                        const ContentConfirmation& confirmContent, const DownloadItem& item) {
    const std::string& name = item.fileName;
    const std::string path = platform::pathInFolder(folder, name);
    if (platform::partialFileInUse(platform::partialFileName(path))) {
        return {false, std::nullopt, "another download is writing " + name};
    }
    switch (platform::entryAt(path)) {
        case platform::FolderEntry::Nothing:
            return {true, std::nullopt, ""};
        case platform::FolderEntry::SomethingElse:
            return {false, std::nullopt, "something other than a plain file is at " + name};
        case platform::FolderEntry::Unreachable:
            return {false, std::nullopt, name + " cannot be looked at in the folder", true};
        case platform::FolderEntry::SoleRegularFile:
            break;
    }
    const ManifestEntry* entry = manifest.entryFor(name);
    if (entry == nullptr) {
        return {false, std::nullopt, name + " is not in " + kManifestFileName + " and was kept"};
    }
    if (!sameRecord(entry->record, item.identity)) {
        return {false, std::nullopt, name + " holds another record"};
    }
    if (!holdsAllOf(item.identity, entry->record)) {
        return {false, std::nullopt, name + " holds a block's copy that this read lacks"};
    }
    const auto stamp = platform::stampOf(path);
    if (!stamp) {
        return {false, std::nullopt, "something other than a plain file is at " + name};
    }
    // A file whose bytes are no longer those the manifest noted may be the user's own edit, or
    // a file a forged line gives to the record: it is kept, as is one that cannot be read. An
    // intact one is replaced only once the blocks' samples are found in it.
    if (stamp->size != entry->size) {
        return {false, std::nullopt, name + " has changed since it was downloaded and was kept"};
    }
    const auto hash = platform::sha256OfFile(path);
    if (!hash) {
        return {false, std::nullopt, name + " could not be read and was kept"};
    }
    if (*hash != entry->sha256) {
        return {false, std::nullopt, name + " has changed since it was downloaded and was kept"};
    }
    if (refuted.contains(name)) {
        return {false, std::nullopt, name + " holds other samples than the blocks hold now"};
    }
    // Replacing asks for the samples themselves: without the blocks at hand, or from a block
    // that streams only whole records and cannot show them at a glance, the file is kept.
    const ContentCheck check = confirmContent
                                   ? confirmContent(copiesBoth(item, entry->record), name)
                                   : ContentCheck{ContentMatch::NotSampled, 0, 0};
    if (check.match == ContentMatch::NotSampled) {
        return {false, std::nullopt, name + " could not be compared with the blocks and was kept"};
    }
    if (check.match != ContentMatch::Same) {
        return {false, std::nullopt, name + " holds other samples than the blocks hold now"};
    }
    return {true, stamp, ""};
}

// The file judged replaceable before is still as it was then: it is taken again without a
// second look.
bool stillAsJudged(const std::string& folder, const DownloadItem& item) {
    const std::string path = platform::pathInFolder(folder, item.fileName);
    return item.replaces && platform::stampOf(path) == item.replaces &&
           !platform::partialFileInUse(platform::partialFileName(path));
}

// Moves the item on from its present name, through " (n)", to the first one it may use.
// Returns why it found none; empty when it did.
std::string placeItem(const std::string& folder, const DownloadManifest& manifest,
                      const std::set<std::string>& claimed, const std::set<std::string>& refuted,
                      const ContentConfirmation& confirmContent, const std::string& plainName,
                      DownloadItem& item) {
    for (;;) {
        if (!claimed.contains(item.fileName)) {
            if (stillAsJudged(folder, item)) {
                return "";
            }
            NameJudgement judged = judgeName(folder, manifest, refuted, confirmContent, item);
            if (judged.usable) {
                item.replaces = judged.replaces;
                return "";
            }
            if (judged.unreachable) {
                return judged.keptBecause;
            }
            if (item.placementNote.empty()) {
                item.placementNote = std::move(judged.keptBecause);
            }
        }
        if (item.nameNumber >= kMaxNameNumber) {
            return "no free name up to " + item.fileName;
        }
        item.fileName = numberedFileName(plainName, ++item.nameNumber);
        item.replaces.reset();
    }
}

// The names the job's other records go to: their table names until they are placed, so that a
// record moved on from its name never takes one that another line of the table owns.
std::set<std::string> namesOfOthers(const DownloadJob& job, const DownloadItem& item) {
    std::set<std::string> names;
    for (int i = 0; i < job.queueLength; ++i) {
        const DownloadItem& other = job.downloadQueue[static_cast<std::size_t>(i)];
        if (&other != &item) {
            names.insert(other.fileName);
        }
    }
    return names;
}

}  // namespace

std::vector<DownloadItem> placeFiles(DownloadJob& job, const RecordInfo* table,
                                     const std::string& folder, const DownloadManifest& manifest,
                                     bool skipExisting, const ContentConfirmation& confirmContent) {
    std::vector<DownloadItem> skipped;
    dropQueued(job, [&](DownloadItem& item) {
        if (skipExisting) {
            // A file the manifest gives to this record but whose content is not the record's
            // holds another recording: it is kept, as if this job had claimed it.
            std::vector<std::string> refuted;
            const auto confirmed = [&](const std::string& name) {
                if (!confirmContent || contentAgrees(confirmContent(item, name))) {
                    return true;
                }
                refuted.push_back(name);
                return false;
            };
            if (auto file = intactFileOf(folder, manifest, item.identity, confirmed)) {
                item.fileName = std::move(*file);
                skipped.push_back(item);
                return true;
            }
            placeItem(folder, manifest, namesOfOthers(job, item),
                      std::set<std::string>(refuted.begin(), refuted.end()), confirmContent,
                      wavFileName(table[item.row]), item);
            return false;
        }
        placeItem(folder, manifest, namesOfOthers(job, item), {}, confirmContent,
                  wavFileName(table[item.row]), item);
        return false;
    });
    return skipped;
}

std::string placeAgain(DownloadJob& job, DownloadItem& item, const RecordInfo* table,
                       bool nameTaken) {
    const std::string plainName = wavFileName(table[item.row]);
    if (nameTaken) {
        item.fileName = numberedFileName(plainName, ++item.nameNumber);
        item.replaces.reset();
    }
    // The manifest is read only when the name was taken meanwhile: this runs under the lock.
    const std::string path = platform::pathInFolder(job.outputFolder, item.fileName);
    if (stillAsJudged(job.outputFolder, item) ||
        (!item.replaces && platform::entryAt(path) == platform::FolderEntry::Nothing &&
         !platform::partialFileInUse(platform::partialFileName(path)))) {
        return "";
    }
    // The blocks are the job's now: a file that could be replaced only after a look at its
    // samples is kept.
    return placeItem(job.outputFolder, DownloadManifest::load(job.outputFolder),
                     namesOfOthers(job, item), {}, {}, plainName, item);
}

}  // namespace kelvra
