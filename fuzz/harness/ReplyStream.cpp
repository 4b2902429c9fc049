#include "fuzz/harness/ReplyStream.h"

#include <algorithm>

#include "fuzz/harness/Findings.h"

namespace kelvra::fuzz {

namespace {

// Once the input is used up every read finds silence; a station that keeps reading a silent
// line this often without giving up is in a loop that would never end on a real line either.
constexpr std::uint64_t kSilentReadsAfterEnd = 100000;

}  // namespace

ReplyStream::ReplyStream(std::span<const std::uint8_t> input, blocksim::VirtualClock& clock)
    : input_(input), clock_(clock) {}

std::size_t ReplyStream::read(std::uint8_t* bytes, std::size_t count) {
    std::lock_guard lock(mutex_);
    if (chunkLeft_ == 0 && at_ < input_.size()) {
        chunkLeft_ = input_[at_++];
    }
    const std::size_t got = std::min({count, chunkLeft_, input_.size() - at_});
    std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(at_), got, bytes);
    at_ += got;
    chunkLeft_ = at_ < input_.size() ? chunkLeft_ - got : 0;
    if (got == 0) {
        clock_.advance(1000 + 5 * static_cast<std::uint64_t>(count));
        if (at_ == input_.size() && ++silentReadsAfterEnd_ > kSilentReadsAfterEnd) {
            abortRun("the station keeps reading a line that has gone silent");
        }
    } else if (got < count) {
        clock_.advance(200);
    }
    return got;
}

std::size_t ReplyStream::available() const {
    std::lock_guard lock(mutex_);
    return std::min(chunkLeft_, input_.size() - at_);
}

bool ReplyStream::usedUp() const {
    std::lock_guard lock(mutex_);
    return at_ == input_.size();
}

std::size_t ReplyStream::consumed() const {
    std::lock_guard lock(mutex_);
    return at_;
}

}  // namespace kelvra::fuzz
