#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelvra::platform {

// Which file stands at a name, in enough detail to tell, just before a download's file takes
// that name, that it is still the very file that was judged replaceable: another program may
// have put another file there since, or written to it.
struct FileStamp {
    std::uint64_t volume = 0;
    std::uint64_t fileIndex = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;

    bool operator==(const FileStamp&) const = default;
};

// What is at `path`, looked at without following a link.
enum class FolderEntry {
    Nothing,
    // A plain file with no other name: the only kind a download may ever replace.
    SoleRegularFile,
    // A link, folder, device, pipe or a file with a second name.
    SomethingElse,
    // The name could not be looked at (no permission on the folder, an input/output error):
    // no other name of the folder can be either.
    Unreachable,
};
FolderEntry entryAt(const std::string& path);

// The stamp of the sole regular file at `path`; nothing when no such file is there.
std::optional<FileStamp> stampOf(const std::string& path);

// Whether another program (another download) holds the partial file at `path` open for
// writing: its record goes elsewhere rather than fail on it.
bool partialFileInUse(const std::string& path);

}  // namespace kelvra::platform
