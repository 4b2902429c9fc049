#include "fuzz/harness/ManifestRun.h"

#include <algorithm>
#include <fstream>
#include <string>

#include "download/DownloadManifest.h"
#include "download/PlainFileName.h"
#include "fuzz/harness/ScratchFolder.h"

namespace kelvra::fuzz {

namespace {

// What a download notes for a file it has just written.
ManifestEntry downloadedEntry() {
    ManifestEntry entry;
    entry.file = "5 Марта 18г 14-07-09 Запись 1.wav";
    entry.size = 64076;
    entry.sha256 = std::string(64, 'f');
    entry.record.time = "2018-03-05T14:07:09";
    entry.record.recordNo = 1;
    entry.record.sampleRate = 8000;
    entry.record.duration = 4;
    entry.record.entryInfo = "01020304";
    entry.record.blockA = BlockCopy{18, 42, 60, 5, 1};
    return entry;
}

void checkManifest(const DownloadManifest& manifest, std::size_t lines, Findings& findings) {
    expect(findings, manifest.entries().size() + manifest.unreadable().size() <= lines,
           "the manifest has more entries and bad lines than lines");
    for (const auto& [name, entry] : manifest.entries()) {
        expect(findings, name == entry.file, "an entry is kept under another name than its file");
        expect(findings, isPlainFileName(name), "an entry's file is not a plain name");
    }
}

}  // namespace

Findings runManifest(std::span<const std::uint8_t> input) {
    Findings findings;
    const ScratchFolder& folder = ScratchFolder::get();
    folder.empty();
    const std::string folderText = folder.path().string();
    std::ofstream(folder.file(kManifestFileName), std::ios::binary)
        .write(reinterpret_cast<const char*>(input.data()),
               static_cast<std::streamsize>(input.size()));
    const std::size_t lines =
        static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n')) + 1;
    checkManifest(DownloadManifest::load(folderText), lines, findings);

    // Whatever the manifest ended in, a download's line appended now reads back as written.
    const ManifestEntry written = downloadedEntry();
    expect(findings, DownloadManifest::append(folderText, written), "the append failed");
    const DownloadManifest after = DownloadManifest::load(folderText);
    checkManifest(after, lines + 2, findings);
    const ManifestEntry* entry = after.entryFor(written.file);
    expect(findings, entry != nullptr && manifestLine(*entry) == manifestLine(written),
           "the line appended last does not read back");
    return findings;
}

}  // namespace kelvra::fuzz
