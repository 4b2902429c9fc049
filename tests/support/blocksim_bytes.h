#pragma once

#include <cstdint>
#include <vector>

#include "tools/blocksim/BlockModel.h"
#include "tools/blocksim/SampleGenerator.h"

namespace kelvra::test {

using Bytes = std::vector<std::uint8_t>;

// Feeds a request to the block and returns everything it answered.
inline Bytes replyTo(blocksim::BlockModel& block, const Bytes& request) {
    block.receive(request.data(), request.size());
    Bytes reply(block.pendingOutput());
    block.takeOutput(reply.data(), reply.size());
    return reply;
}

// What a record holds from `offset` on, per the sample generator.
inline Bytes recordBytes(const blocksim::BlockSetup& block, std::uint8_t address,
                         std::uint8_t recordIndex, std::uint64_t offset, std::size_t count) {
    Bytes bytes(count);
    blocksim::fillRecordBytes(block, address, recordIndex, offset, bytes.data(), count);
    return bytes;
}

}  // namespace kelvra::test
