#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kelvra::platform {

// A record's file. It is written under a temporary name beside its own (partialFileName) and
// takes its own name only when it is complete, so that whatever stops a download leaves no
// fraction of a recording that passes for a whole one, and a complete file already at the name
// is replaced only by another complete one. Not shared with other programs while open. Names
// are UTF-8; each backend turns them into its own file-name encoding.
class OutputFile {
public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or empties the temporary file of `name` (in the current directory, or at the
    // given path). Only plain files are taken, at the name and at the temporary name: a link is
    // not followed, and a device, pipe, folder or a file with a second hard link there is
    // refused and left as it is.
    bool open(const std::string& name);
    // True only if every byte was written.
    bool write(const std::uint8_t* bytes, std::size_t count);
    // The file is complete: its data reach the file system and it takes its own name, replacing
    // what was there. True only if all of that worked and the temporary file was still where it
    // was opened (its folder neither removed nor renamed, the name not taken by another file);
    // the file is closed either way.
    bool commit();
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
    std::unique_ptr<Handle> handle_;
    std::string failure_;
};

}  // namespace kelvra::platform
