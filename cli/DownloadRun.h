#pragma once

#include <string>
#include <vector>

#include "cli/CliStation.h"
#include "cli/Pace.h"
#include "download/ChannelLevels.h"

namespace kelvra::cli {

// What became of each line of a download, told once its job has ended.
class LineReport {
public:
    virtual ~LineReport() = default;

    // `note` says why the record did not take an earlier name, when something there was kept;
    // `warning` what went wrong once the file was complete (see DownloadItem::warning);
    // `channels` what the file's channels hold.
    virtual void written(int line, const std::string& file, const std::string& note,
                         const std::string& warning, const FileChannels& channels) = 0;
    virtual void skipped(int line, const std::string& file) = 0;
    void failed(int line, const std::string& file, const std::string& why) {
        failures_ = true;
        reportFailure(line, file, why);
    }
    bool anyFailed() const { return failures_; }

protected:
    virtual void reportFailure(int line, const std::string& file, const std::string& why) = 0;

private:
    bool failures_ = false;
};

struct DownloadSettings {
    std::string folder;
    bool skipExisting = false;
    bool verify = false;
    // Recovery waits for blocks that went away as long as they stay away.
    bool waitForBlocks = false;
    // How many stop requests of the pace end the transfer, after the pair of sectors in hand.
    int stopsToEnd = 1;
};

// Reads the lines (from 0, each once, in table order) into the settings' folder as jobs of at
// most a queue's worth each, and reports every line: the lines after a job that ended early
// as not read.
void downloadLines(CliStation& station, Pace& pace, const DownloadSettings& settings,
                   const std::vector<int>& lines, LineReport& report);

}  // namespace kelvra::cli
