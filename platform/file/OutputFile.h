#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kelvra::platform {

// A file being written, created anew or emptied, not shared with other programs while open.
// Names are UTF-8; each backend turns them into its own file-name encoding.
class OutputFile {
public:
    OutputFile();
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or empties the file in the current directory (or at the given path). Only a
    // plain file is taken: a link at the name is not followed, and a device, pipe or folder
    // there is refused and left as it is.
    bool open(const std::string& name);
    // True only if every byte was written.
    bool write(const std::uint8_t* bytes, std::size_t count);
    // True if the data reached the file system and the file is still at the path it was opened
    // with (its folder neither removed nor renamed, the name not taken by another file); the
    // file is closed either way. True when no file is open.
    bool close();
    bool isOpen() const;

    class Handle;

private:
    std::unique_ptr<Handle> handle_;
};

}  // namespace kelvra::platform
