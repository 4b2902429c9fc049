#include <sys/vfs.h>

#include "platform/file/FileSizeLimit.h"

namespace kelvra::platform {

namespace {

// The kernel's one type for its msdos and vfat drivers, FAT12, FAT16 and FAT32 alike; exFAT
// has its own and no such limit.
constexpr long kMsdosSuperMagic = 0x4d44;

}  // namespace

std::optional<FileSizeLimit> fileSizeLimitOf(const std::string& folder) {
    struct statfs status {};
    if (::statfs(folder.c_str(), &status) != 0 ||
        static_cast<long>(status.f_type) != kMsdosSuperMagic) {
        return std::nullopt;
    }
    return FileSizeLimit{"FAT", kFatMaxFileBytes};
}

}  // namespace kelvra::platform
