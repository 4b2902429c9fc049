#include "download/DownloadQueue.h"

#include <map>

#include "download/WavFormat.h"
#include "link/Messages.h"

namespace kelvra {

std::string numberedFileName(const std::string& name, int number) {
    if (number <= 1) {
        return name;
    }
    const std::string extension = ".wav";
    const std::size_t stem = name.size() - extension.size();
    return name.substr(0, stem) + " (" + std::to_string(number) + ")" + extension;
}

std::vector<int> tableFileNumbers(const RecordInfo* table, int rowCount) {
    // Plain names end in "Запись <n>.wav", never in " (<n>).wav": numbering cannot meet
    // another row's plain name.
    std::map<std::string, int> used;
    std::vector<int> numbers;
    for (int i = 0; i < rowCount; ++i) {
        numbers.push_back(++used[wavFileName(table[i])]);
    }
    return numbers;
}

std::vector<std::string> tableFileNames(const RecordInfo* table, int rowCount) {
    const std::vector<int> numbers = tableFileNumbers(table, rowCount);
    std::vector<std::string> names;
    for (int i = 0; i < rowCount; ++i) {
        names.push_back(
            numberedFileName(wavFileName(table[i]), numbers[static_cast<std::size_t>(i)]));
    }
    return names;
}

DownloadItem itemFor(const RecordInfo& row, int line, const CBlockPort& slotA,
                     const CBlockPort& slotB) {
    DownloadItem item;
    item.useA = slotA.present && row.addrA != kNoCopy;
    item.useB = slotB.present && row.addrB != kNoCopy;
    item.addrA = item.useA ? row.addrA : kNoCopy;
    item.addrB = item.useB ? row.addrB : kNoCopy;
    item.sampleRate = row.sampleRate;
    item.duration = row.duration;
    item.recordIndex = row.recordNo - 1;
    item.row = line;
    item.swapped = row.swapped;
    item.identity = identityOf(row, slotA, item.useA, slotB, item.useB);
    return item;
}

QueuedLines queueSelectedLines(DownloadJob& job, const RecordInfo* table, int rowCount,
                               const int* lines, int count, const CBlockPort& slotA,
                               const CBlockPort& slotB) {
    const std::vector<int> numbers = tableFileNumbers(table, rowCount);
    QueuedLines result;
    job.jobBytesTotal = 0;
    for (int i = 0; i < count && result.queued < kQueueCapacity; ++i) {
        if (lines[i] < 0 || lines[i] >= rowCount) {
            continue;
        }
        const RecordInfo& row = table[lines[i]];
        DownloadItem item = itemFor(row, lines[i], slotA, slotB);
        if (item.channelBytes() > kMaxWavChannelBytes) {
            result.tooLong.push_back(lines[i]);
            continue;
        }
        item.nameNumber = numbers[static_cast<std::size_t>(lines[i])];
        item.fileName = numberedFileName(wavFileName(row), item.nameNumber);
        job.jobBytesTotal += item.channelBytes();
        job.downloadQueue[static_cast<std::size_t>(result.queued)] = std::move(item);
        ++result.queued;
    }
    job.queueLength = result.queued;
    job.queuePos = 0;
    job.jobBytesLeft = job.jobBytesTotal;
    return result;
}

int dropQueued(DownloadJob& job, const std::function<bool(DownloadItem&)>& drop) {
    int kept = 0;
    for (int i = 0; i < job.queueLength; ++i) {
        DownloadItem& item = job.downloadQueue[static_cast<std::size_t>(i)];
        if (drop(item)) {
            continue;
        }
        if (kept != i) {
            job.downloadQueue[static_cast<std::size_t>(kept)] = std::move(item);
        }
        ++kept;
    }
    const int dropped = job.queueLength - kept;
    job.queueLength = kept;
    job.jobBytesTotal = bytesOwed(job, 0);
    job.jobBytesLeft = job.jobBytesTotal;
    return dropped;
}

std::uint64_t bytesOwed(const DownloadJob& job, int from) {
    const std::size_t reads = job.verifyReads ? 2 : 1;
    std::uint64_t owed = 0;
    for (int i = from; i < job.queueLength; ++i) {
        const DownloadItem& item = job.downloadQueue[static_cast<std::size_t>(i)];
        const std::size_t done = item.readHashes.size();
        owed += item.channelBytes() * (done < reads ? reads - done : 1);
    }
    return owed;
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
