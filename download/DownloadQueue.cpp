#include "download/DownloadQueue.h"

#include <cstdio>
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
        if (item.channelBytes() > kMaxRecordChannelBytes) {
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

namespace {

std::string linesMessage(int firstLine, const std::string& why, std::size_t count) {
    std::string message = "Line " + std::to_string(firstLine + 1) + ": ";
    message += why;
    if (count > 1) {
        message += " (and " + std::to_string(count - 1) + " more lines)";
    }
    return message;
}

// "5.2 GiB", "12.0 MiB" or "4208 bytes".
std::string sizeText(std::uint64_t bytes) {
    char text[32];
    if (bytes >= (std::uint64_t{1} << 20)) {
        const bool gib = bytes >= (std::uint64_t{1} << 30);
        std::snprintf(text, sizeof text, "%.1f %s",
                      static_cast<double>(bytes) / static_cast<double>(gib ? 1u << 30 : 1u << 20),
                      gib ? "GiB" : "MiB");
    } else {
        std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    }
    return text;
}

}  // namespace

std::uint64_t fileBytesOf(const DownloadJob& job, const DownloadItem& item) {
    return wavHeaderSize(item.channelBytes(), job.riffDataLimit) + 2 * item.channelBytes();
}

std::vector<DownloadItem> refuseFilesOverLimit(DownloadJob& job,
                                               const platform::FileSizeLimit& limit) {
    std::vector<DownloadItem> refused;
    dropQueued(job, [&](DownloadItem& item) {
        const std::uint64_t size = fileBytesOf(job, item);
        if (size <= limit.maxFileBytes) {
            return false;
        }
        item.failure = item.fileName;
        item.failure += " needs " + sizeText(size) + " but the folder's file system (" +
                        limit.fileSystem + ") holds at most " + sizeText(limit.maxFileBytes) +
                        " per file";
        refused.push_back(item);
        return true;
    });
    return refused;
}

std::string refusedFilesMessage(const std::vector<DownloadItem>& items) {
    return linesMessage(items.front().row, items.front().failure, items.size());
}

std::string tooLongMessage(const std::vector<int>& lines) {
    return linesMessage(lines.front(), messages::kRecordTooLong, lines.size());
}

}  // namespace kelvra
