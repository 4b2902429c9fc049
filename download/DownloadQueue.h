#pragma once

#include <functional>
#include <string>
#include <vector>

#include "download/DownloadJob.h"
#include "records/RecordInfo.h"

namespace kelvra {

// What became of the selected lines when the queue was built.
struct QueuedLines {
    int queued = 0;
    // Lines (0-based) left out because their record cannot be held by a WAV file.
    std::vector<int> tooLong;
};

// Fills the job's queue with the records of the selected `lines`, in list order; a block is
// used for a record only if it is present and holds a copy. Each record gets its own file
// name: a name already given in this job gets " (2)", " (3)"... so no file of the job
// replaces another. Sets the job's byte counts over the queued records.
QueuedLines queueSelectedLines(DownloadJob& job, const RecordInfo* table, const int* lines,
                               int count, bool blockAPresent, bool blockBPresent);

// The file names that queueSelectedLines gives the records of these lines, in order; an empty
// name for a line it would leave out as too long.
std::vector<std::string> queuedFileNames(const RecordInfo* table, const int* lines, int count);

// Takes the items for which `drop` holds out of a queue not yet started; the others keep their
// order and their file names, and the job's byte counts are those of the items left. Returns
// how many were taken out.
int dropQueued(DownloadJob& job, const std::function<bool(const DownloadItem&)>& drop);

// "Line 4: the record is too long for a WAV file" for the first refused line, with the count
// of the others when there are more.
std::string tooLongMessage(const std::vector<int>& lines);

}  // namespace kelvra
