#pragma once

#include <functional>
#include <string>
#include <vector>

#include "download/ContentSample.h"
#include "download/DownloadJob.h"
#include "download/DownloadManifest.h"

namespace kelvra {

// Decides, before a job starts, which file each queued record goes to in `folder`. A record
// keeps its table name unless something there must be kept: a file is replaced only when the
// manifest attributes it to the same record, the new read holds every block copy the file
// holds, and `confirmContent` (when given) finds the record's samples in it; anything else
// (another record's file, a file the manifest does not know, a file with more copies, other
// samples, what is not a plain file, a partial file another download is writing) stays, and
// the record takes the next free " (n)". With `skipExisting`, a record that the manifest says
// is in the folder whole, with every copy the job would read and its bytes unchanged, is taken
// out of the queue once `confirmContent` (when given) finds the record's content in that file,
// or could only take the directory's word for it (a block that streams whole records only).
// Returns those items, each with the name of the file that holds it.
using ContentConfirmation =
    std::function<ContentCheck(const DownloadItem& item, const std::string& fileName)>;
std::vector<DownloadItem> placeFiles(DownloadJob& job, const RecordInfo* table,
                                     const std::string& folder, const DownloadManifest& manifest,
                                     bool skipExisting,
                                     const ContentConfirmation& confirmContent = {});

// Places the job's record in progress again under the folder's lock, once its partial file is
// to be opened or its complete file named: another download may have taken its name since.
// `nameTaken` says the name was found taken at the commit, so the record moves on from it.
// Returns why no name could be found (the folder cannot be looked at); empty when one was.
std::string placeAgain(DownloadJob& job, DownloadItem& item, const RecordInfo* table,
                       bool nameTaken);

// How long a download waits for another one that holds the folder's lock.
inline constexpr unsigned kFolderLockWaitMs = 60000;

}  // namespace kelvra
