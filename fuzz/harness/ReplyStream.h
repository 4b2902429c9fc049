#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>

#include "tools/blocksim/VirtualClock.h"

namespace kelvra::fuzz {

// What the blocks say, taken from a fuzz input: a run of chunks, each a length byte and that
// many bytes. A read never goes past the end of its chunk, so a chunk shorter than a read is a
// short reply, and a chunk of length 0 is one read that finds the line silent. Every port of a
// run reads from the same stream, in the order the station reads them, so the input is the
// script of both blocks' replies. Time is virtual: a read that comes back short costs what the
// port's time-outs would, as on a real line.
class ReplyStream {
public:
    ReplyStream(std::span<const std::uint8_t> input, blocksim::VirtualClock& clock);

    std::size_t read(std::uint8_t* bytes, std::size_t count);
    // What is left of the current chunk: bytes already on the line.
    std::size_t available() const;

    bool usedUp() const;
    std::size_t consumed() const;

private:
    mutable std::mutex mutex_;
    std::span<const std::uint8_t> input_;
    blocksim::VirtualClock& clock_;
    std::size_t at_ = 0;
    std::size_t chunkLeft_ = 0;
    std::uint64_t silentReadsAfterEnd_ = 0;
};

}  // namespace kelvra::fuzz
