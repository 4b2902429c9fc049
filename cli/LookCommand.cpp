#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/LookOverview.h"
#include "cli/LookPicture.h"
#include "cli/RecordText.h"
#include "cli/WavFileSource.h"
#include "cli/graphics/PngFile.h"
#include "download/ChannelLevels.h"
#include "download/DownloadManifest.h"
#include "download/WavReader.h"

namespace kelvra::cli {

namespace {

constexpr std::size_t kReadBytes = std::size_t{1} << 20;

// A file's folder and its name in it, as the manifest names files.
struct PlacedFile {
    std::string folder;
    std::string name;
};

PlacedFile placed(const std::string& path) {
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    const std::u8string folder = file.parent_path().u8string();
    const std::u8string name = file.filename().u8string();
    return {folder.empty() ? "." : std::string(folder.begin(), folder.end()),
            std::string(name.begin(), name.end())};
}

std::string durationText(std::uint64_t frames, std::uint32_t sampleRate) {
    const std::uint64_t millis = frames * 1000 / sampleRate;
    char text[48];
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%03llu",
                  static_cast<unsigned long long>(millis / 3600000),
                  static_cast<unsigned long long>(millis / 60000 % 60),
                  static_cast<unsigned long long>(millis / 1000 % 60),
                  static_cast<unsigned long long>(millis % 1000));
    return text;
}

std::string channelBlock(const std::optional<BlockDescription>& description, int channel) {
    if (!description) {
        return "none";
    }
    const DescribedBlock block = describedBlock(*description);
    return describeBlock(channel == 0, block.serialYear, block.serialNumber, block.firmware);
}

std::string copyText(char slot, const std::optional<BlockCopy>& copy) {
    char text[48];
    std::snprintf(text, sizeof text, "%c (S/N %4d-%03d)", slot, copy->serialYear + 2000,
                  copy->serialNumber);
    return text;
}

std::string recordText(const RecordIdentity& record) {
    std::string text = "record ";
    text += std::to_string(record.recordNo);
    text += " of ";
    std::string when = record.time;
    if (when.size() > 10 && when[10] == 'T') {
        when[10] = ' ';
    }
    text += when;
    text += ", ";
    text += std::to_string(record.duration);
    text += " s, blocks ";
    if (record.blockA && record.blockB) {
        text += copyText('A', record.blockA) + " and " + copyText('B', record.blockB);
    } else if (record.blockA || record.blockB) {
        text += record.blockA ? copyText('A', record.blockA) : copyText('B', record.blockB);
    } else {
        text += "none";
    }
    return text;
}

std::string dbText(const std::optional<double>& db) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", db ? *db : 0.0);
    return db ? text : "-inf";
}

// "14:07:09" of "2018-03-05T14:07:09", as seconds into the day.
std::optional<int> secondOfDay(const std::string& time) {
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (time.size() != 19 ||
        std::sscanf(time.c_str() + 11, "%2d:%2d:%2d", &hour, &minute, &second) != 3 || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    return hour * 3600 + minute * 60 + second;
}

int refuse(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), why.c_str());
    return kExitFailed;
}

int look(const std::string& path, const std::string& png) {
    std::string why;
    const std::unique_ptr<WavFileSource> source = WavFileSource::open(path, why);
    if (!source) {
        return refuse(path, why);
    }
    const WavOpening opening = readWavLayout(*source);
    if (!opening.layout) {
        return refuse(path, opening.failure);
    }
    const WavLayout& layout = *opening.layout;

    const PlacedFile file = placed(path);
    const DownloadManifest manifest = DownloadManifest::load(file.folder);
    const ManifestEntry* entry = manifest.entryFor(file.name);
    if (entry != nullptr && entry->size != source->size()) {
        std::fprintf(stderr,
                     "%s: not the file %s noted (%llu bytes, now %llu): its record is not told\n",
                     path.c_str(), kManifestFileName, static_cast<unsigned long long>(entry->size),
                     static_cast<unsigned long long>(source->size()));
        entry = nullptr;
    }

    LevelMeter meter;
    std::optional<LookOverview> overview;
    if (!png.empty()) {
        overview.emplace(layout.frames(), kLookColumns);
    }
    std::vector<std::uint8_t> buffer(kReadBytes);
    WavFrameReader reader(*source, layout);
    while (const std::size_t count = reader.next(buffer.data(), buffer.size())) {
        meter.add(buffer.data(), count);
        if (overview) {
            overview->add(buffer.data(), count);
        }
    }
    if (!reader.failure().empty()) {
        return refuse(path, reader.failure());
    }

    std::printf("%s\n", path.c_str());
    std::printf("  %s, %u Hz, 16-bit stereo, %llu frames, %s\n", layout.rf64 ? "RF64" : "RIFF",
                layout.sampleRate, static_cast<unsigned long long>(layout.frames()),
                durationText(layout.frames(), layout.sampleRate).c_str());
    std::printf("  %s\n", entry != nullptr ? recordText(entry->record).c_str()
                                           : "record not known: no download manifest entry");
    std::printf("  %-7s %-40s %9s %9s %8s %s\n", "channel", "block", "peak dBFS", "RMS dBFS",
                "clipped", "silent");
    const std::optional<BlockDescription> blocks[2] = {layout.left, layout.right};
    std::array<std::string, 2> titles;
    for (int channel = 0; channel < 2; ++channel) {
        const std::string block = channelBlock(blocks[channel], channel);
        const ChannelLevels levels = meter.levels(channel, blocks[channel].has_value());
        const char* side = channel == 0 ? "left" : "right";
        std::printf("  %-7s %-40s %9s %9s %8llu %s\n", side, block.c_str(),
                    dbText(levels.peakDbfs).c_str(), dbText(levels.rmsDbfs).c_str(),
                    static_cast<unsigned long long>(levels.clipped), levels.silent ? "yes" : "no");
        titles[static_cast<std::size_t>(channel)] = std::string(side) + ": " + block;
    }
    if (!overview) {
        return kExitDone;
    }
    overview->finish();
    LookPictureFacts facts;
    facts.fileName = file.name;
    facts.sampleRate = layout.sampleRate;
    facts.frames = layout.frames();
    facts.channelTitles = titles;
    if (entry != nullptr) {
        facts.startSecondOfDay = secondOfDay(entry->record.time);
        facts.date = entry->record.time.substr(0, 10);
    }
    const LookCanvas canvas = drawLook(*overview, facts);
    const std::string failure = writePng(png, canvas.width(), canvas.height(), canvas.pixels());
    if (!failure.empty()) {
        return refuse(png, failure);
    }
    return kExitDone;
}

}  // namespace

int runLook(const std::vector<std::string>& files, const std::string& png) {
    if (!png.empty() && files.size() != 1) {
        std::fprintf(stderr, "--png draws one file: give exactly one FILE with it\n");
        return kExitUsage;
    }
    int status = kExitDone;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i > 0) {
            std::printf("\n");
        }
        std::fflush(stdout);
        if (look(files[i], png) != kExitDone) {
            status = kExitFailed;
        }
    }
    return status;
}

}  // namespace kelvra::cli
