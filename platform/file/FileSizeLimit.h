#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelvra::platform {

// A file system that stops a file short of the size a long record needs.
struct FileSizeLimit {
    // Its name, as the system gives it ("FAT32").
    std::string fileSystem;
    std::uint64_t maxFileBytes = 0;
};

// The FAT family stops every file at 4 GiB − 1 bytes.
inline constexpr std::uint64_t kFatMaxFileBytes = 0xFFFFFFFFull;

// The limit of the file system that holds `folder` (UTF-8) when it is one of FAT's; nothing
// for any other, or when the file system cannot be told: then only a write that fails says so.
std::optional<FileSizeLimit> fileSizeLimitOf(const std::string& folder);

}  // namespace kelvra::platform
