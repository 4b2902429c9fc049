#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/file/FolderEntry.h"

namespace kelvra::platform {

// How giving a complete file its name ended.
enum class CommitResult {
    Done,
    // Something is at the name that the caller did not judge replaceable: nothing was replaced,
    // and the file is still open, to take another name.
    NameTaken,
    Failed,
};

// A record's file. It is written under a temporary name beside its own (partialFileName) and
// takes its own name only when it is complete, so that whatever stops a download leaves no
// fraction of a recording that passes for a whole one. Not shared with other programs while
// open. Names are UTF-8; each backend turns them into its own file-name encoding.
class OutputFile {
public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or empties the temporary file of `name` (in the current directory, or at the
    // given path). Only a plain file is taken at the temporary name: a link is not followed,
    // and a device, pipe, folder or a file with a second hard link there is refused and left as
    // it is. What is at `name` itself is judged when the file is committed.
    bool open(const std::string& name);
    // Opens the temporary file of `name` as open does, but keeps what it holds: writes go on at
    // its end, so that a record interrupted in an earlier run can be continued.
    bool openToContinue(const std::string& name);
    // True only if every byte was written.
    bool write(const std::uint8_t* bytes, std::size_t count);
    // The file's length; nothing when it cannot be told.
    std::optional<std::uint64_t> size();
    // True only if `count` bytes from `offset` on were read; the place where writes go on stays.
    bool readAt(std::uint64_t offset, std::uint8_t* bytes, std::size_t count);
    // Cuts the file to its first `length` bytes; writes go on from there.
    bool truncate(std::uint64_t length);
    // The file is complete: its data reach the file system and it takes the name `path`. With
    // `replacing` empty the name must be free, and nothing that stands there, even if it came
    // a moment ago, is replaced; otherwise only the very file that `replacing` stamps is. Done
    // only if all of that worked and the temporary file was still where it was opened (its
    // folder neither removed nor renamed, its name not taken by another file). The file is
    // closed unless the answer is NameTaken.
    CommitResult commit(const std::string& path, const std::optional<FileStamp>& replacing);
    // Closes the file unfinished: it stays under its temporary name, as far as it was written.
    // True if its data reached the file system and it is still at that path. True when no file
    // is open.
    bool close();
    bool isOpen() const;
    // Why the last open, write, commit or close failed, in the system's words ("No space left
    // on device"); empty after one that worked.
    const std::string& failure() const { return failure_; }

    class Handle;

private:
    bool openPartial(const std::string& name, bool keep);

    std::unique_ptr<Handle> handle_;
    std::string failure_;
};

}  // namespace kelvra::platform
