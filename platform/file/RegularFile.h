#pragma once

#include <cstddef>
#include <string>

namespace kelvra::platform {

// What reading a file by readRegularFile came to.
enum class FileReadStatus {
    Read,
    // Nothing at the name (nor its folder).
    Missing,
    // A link, FIFO, device, socket or folder at the name: left unread.
    NotRegular,
    // More bytes than the caller takes.
    TooLarge,
    // The system refused the open or a read; `failure` says why.
    Failed,
};

struct FileRead {
    FileReadStatus status = FileReadStatus::Failed;
    std::string bytes;
    std::string failure;
};

// All the bytes of the plain file at `path` (UTF-8), at most `maxBytes` of them. A link at the
// name is not followed, and nothing at the name can make the open or a read wait: whatever is
// not a regular file on a disk is refused unread.
FileRead readRegularFile(const std::string& path, std::size_t maxBytes);

}  // namespace kelvra::platform
