#pragma once

#include <functional>
#include <string>
#include <vector>

#include "download/DownloadJob.h"
#include "download/DownloadManifest.h"

namespace kelvra {

// Decides, before a job starts, which file each queued record goes to in `folder`. A record
// keeps its table name unless the file there is one the manifest attributes to another
// record: that file is never replaced, and the record takes the next free " (n)". With
// `skipExisting`, a record that the manifest says is in the folder whole, with every copy the
// job would read and its bytes unchanged, is taken out of the queue once `confirmContent`
// (when given) finds the record's content in that file. Returns those items, each with the name
// of the file that holds it.
using ContentConfirmation =
    std::function<bool(const DownloadItem& item, const std::string& fileName)>;
std::vector<DownloadItem> placeFiles(DownloadJob& job, const RecordInfo* table,
                                     const std::string& folder, const DownloadManifest& manifest,
                                     bool skipExisting,
                                     const ContentConfirmation& confirmContent = {});

}  // namespace kelvra
