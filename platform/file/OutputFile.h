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

    // Creates or empties the file in the current directory (or at the given path).
    bool open(const std::string& name);
    // True only if every byte was written.
    bool write(const std::uint8_t* bytes, std::size_t count);
    // True if the data reached the file system; the file is closed either way.
    bool close();
    bool isOpen() const;

    class Handle;

private:
    std::unique_ptr<Handle> handle_;
};

}  // namespace kelvra::platform
