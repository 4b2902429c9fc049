#include "fuzz/harness/MemorySource.h"

#include <algorithm>
#include <cstring>

namespace kelvra::fuzz {

std::size_t MemorySource::read(std::uint64_t offset, std::uint8_t* into, std::size_t count) {
    if (offset > size_ || count > size_ - offset) {
        readPastTheEnd_ = true;
    }
    if (offset >= bytes_.size()) {
        return 0;
    }
    const std::size_t at = static_cast<std::size_t>(offset);
    const std::size_t got = std::min(count, bytes_.size() - at);
    std::memcpy(into, bytes_.data() + at, got);
    return got;
}

}  // namespace kelvra::fuzz
