#include "download/DownloadQueue.h"

#include <set>

#include "download/WavFormat.h"
#include "link/Messages.h"

namespace kelvra {

namespace {

std::string numberedName(const std::string& name, int number) {
    const std::string extension = ".wav";
    const std::size_t stem = name.size() - extension.size();
    return name.substr(0, stem) + " (" + std::to_string(number) + ")" + extension;
}

std::string uniqueName(const std::string& name, const std::set<std::string>& taken) {
    if (!taken.contains(name)) {
        return name;
    }
    int number = 2;
    while (taken.contains(numberedName(name, number))) {
        ++number;
    }
    return numberedName(name, number);
}

}  // namespace

QueuedLines queueSelectedLines(DownloadJob& job, const RecordInfo* table, const int* lines,
                               int count, bool blockAPresent, bool blockBPresent) {
    QueuedLines result;
    std::set<std::string> taken;
    job.jobBytesTotal = 0;
    for (int i = 0; i < count && result.queued < kQueueCapacity; ++i) {
        const RecordInfo& row = table[lines[i]];
        DownloadItem item;
        item.useA = blockAPresent && row.addrA != kNoCopy;
        item.useB = blockBPresent && row.addrB != kNoCopy;
        item.addrA = item.useA ? row.addrA : kNoCopy;
        item.addrB = item.useB ? row.addrB : kNoCopy;
        item.sampleRate = row.sampleRate;
        item.duration = row.duration;
        item.recordIndex = row.recordNo - 1;
        item.row = lines[i];
        item.swapped = row.swapped;
        if (item.channelBytes() > kMaxWavChannelBytes) {
            result.tooLong.push_back(lines[i]);
            continue;
        }
        item.fileName = uniqueName(wavFileName(row), taken);
        taken.insert(item.fileName);
        job.jobBytesTotal += item.channelBytes();
        job.downloadQueue[static_cast<std::size_t>(result.queued)] = item;
        ++result.queued;
    }
    job.queueLength = result.queued;
    job.queuePos = 0;
    job.jobBytesLeft = job.jobBytesTotal;
    return result;
}

std::vector<std::string> queuedFileNames(const RecordInfo* table, const int* lines, int count) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (int i = 0; i < count; ++i) {
        const RecordInfo& row = table[lines[i]];
        DownloadItem item;
        item.sampleRate = row.sampleRate;
        item.duration = row.duration;
        if (item.channelBytes() > kMaxWavChannelBytes) {
            names.emplace_back();
            continue;
        }
        names.push_back(uniqueName(wavFileName(row), taken));
        taken.insert(names.back());
    }
    return names;
}

int dropQueued(DownloadJob& job, const std::function<bool(const DownloadItem&)>& drop) {
    int kept = 0;
    job.jobBytesTotal = 0;
    for (int i = 0; i < job.queueLength; ++i) {
        DownloadItem& item = job.downloadQueue[static_cast<std::size_t>(i)];
        if (drop(item)) {
            continue;
        }
        job.jobBytesTotal += item.channelBytes();
        if (kept != i) {
            job.downloadQueue[static_cast<std::size_t>(kept)] = std::move(item);
        }
        ++kept;
    }
    const int dropped = job.queueLength - kept;
    job.queueLength = kept;
    job.jobBytesLeft = job.jobBytesTotal;
    return dropped;
}

std::string tooLongMessage(const std::vector<int>& lines) {
    std::string message =
        "Line " + std::to_string(lines.front() + 1) + ": " + messages::kRecordTooLong;
    if (lines.size() > 1) {
        message += " (and " + std::to_string(lines.size() - 1) + " more lines)";
    }
    return message;
}

}  // namespace kelvra
