#pragma once

#include <functional>
#include <string>
#include <vector>

#include "download/DownloadJob.h"
#include "link/BlockPort.h"
#include "platform/file/FileSizeLimit.h"
#include "records/RecordInfo.h"

namespace kelvra {

// What became of the selected lines when the queue was built.
struct QueuedLines {
    int queued = 0;
    // Lines (0-based) left out because a channel of their record holds more bytes than the
    // link can count.
    std::vector<int> tooLong;
};

// "NAME (n).wav" for "NAME.wav"; the name itself for n = 1.
std::string numberedFileName(const std::string& name, int number);

// For every row of the table, in list order, the n of its file name: rows that share a name
// are numbered 1, 2, 3... in list order, so that a record has the same name in every job,
// whatever lines are selected, and no two rows of the table share one.
std::vector<int> tableFileNumbers(const RecordInfo* table, int rowCount);
// The file name of every row, as the download gives it.
std::vector<std::string> tableFileNames(const RecordInfo* table, int rowCount);

// The record of table row `line` as a job reads it: a block is used only if it is present and
// holds a copy. Its file name is left to the caller.
DownloadItem itemFor(const RecordInfo& row, int line, const CBlockPort& slotA,
                     const CBlockPort& slotB);

// Fills the job's queue with the records of the selected `lines` of a table of `rowCount`
// rows, in list order; a block is used for a record only if it is present and holds a copy.
// Sets the job's byte counts over the queued records.
QueuedLines queueSelectedLines(DownloadJob& job, const RecordInfo* table, int rowCount,
                               const int* lines, int count, const CBlockPort& slotA,
                               const CBlockPort& slotB);

// Takes the items for which `drop` holds out of a queue not yet started; the others keep their
// order and their file names, and the job's byte counts are those of the items left. Returns
// how many were taken out.
int dropQueued(DownloadJob& job, const std::function<bool(DownloadItem&)>& drop);

// The bytes per channel the queue still owes from item `from` on, the record in progress
// counted whole: with reads checked, each record until it has been read twice.
std::uint64_t bytesOwed(const DownloadJob& job, int from);

// The size of the file that holds the item's record.
std::uint64_t fileBytesOf(const DownloadJob& job, const DownloadItem& item);

// Takes out of a queue not yet started the records whose file is larger than the folder's
// file system holds, each with its failure ("NAME.wav needs 5.2 GiB but..."), and returns them.
std::vector<DownloadItem> refuseFilesOverLimit(DownloadJob& job,
                                               const platform::FileSizeLimit& limit);

// "Line 4: NAME.wav needs..." for the first refused item, with the count of the others.
std::string refusedFilesMessage(const std::vector<DownloadItem>& items);

// "Line 4: the record is too long to be read..." for the first refused line, with the count
// of the others when there are more.
std::string tooLongMessage(const std::vector<int>& lines);

}  // namespace kelvra
