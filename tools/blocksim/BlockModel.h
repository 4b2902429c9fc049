#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "tools/blocksim/BlockSetup.h"
#include "tools/blocksim/DeviceConfigFrame.h"

namespace kelvra::blocksim {

// Distance in sectors between two session headers in a block's memory.
std::uint32_t sessionStride(std::uint8_t firmware);

// The device side of one block's link: bytes from the tool go in, the block's replies come
// out. Requests may arrive split over any number of receive() calls. Deterministic: the same
// bytes in give the same bytes out.
class BlockModel {
public:
    explicit BlockModel(BlockSetup setup);

    void receive(const std::uint8_t* bytes, std::size_t count);
    std::size_t takeOutput(std::uint8_t* out, std::size_t max);
    std::size_t pendingOutput() const { return output_.size() - outputStart_; }
    // How many pending bytes come before the next one the driver reports a line error on (an
    // Error line fault), if one is pending.
    std::optional<std::size_t> pendingBeforeLineError() const;
    // How many pending bytes come before those of a Late line fault, if any are pending.
    std::optional<std::size_t> pendingBeforeLateBytes() const;
    // Drops replies nobody has read: what a line loses while no one holds the port.
    void discardOutput();

    // The block as it is now: entries after deletes and clears, identity after frames 0xFF,
    // the clock last set, the faults still pending.
    const BlockSetup& setup() const { return setup_; }
    // Every byte the tool has sent, in order.
    const std::vector<std::uint8_t>& received() const { return received_; }
    void clearReceived() { received_.clear(); }
    // How often the tool has listed the directory: once a window shows the block, at least once.
    std::uint32_t directoryReads() const { return directoryReads_; }
    // Record sectors sent, in any stream mode: what a download cost the block.
    std::uint64_t recordSectorsSent() const { return recordSectorsSent_; }
    const std::vector<ConfigFrameBytes>& configFrames() const { return configFrames_; }

    // Power cycle: a half-received request, replies not yet read and any stream are dropped;
    // memory, identity and faults stay.
    void reset();

    void setRoleA(bool roleA) { setup_.roleA = roleA; }

    void setFaults(const Faults& faults);
    void setSilent(bool silent) { setup_.faults.silent = silent; }
    void setShortParams(std::optional<std::uint8_t> parameterBytes);
    void setAckFault(Exchange exchange, std::optional<AckFault> fault);
    // Arms (or disarms) the unplug fault; its sectors count from now.
    void armUnplug(std::optional<UnplugFault> fault);
    // Arms one more line fault beside those pending; its sectors count from now.
    void armLineFault(const LineFault& fault);
    // The next directory listing reaches the tool with bit `bit` of its byte `offset` (counted
    // from the first entry's lead byte) inverted; what the block holds is unchanged.
    void armDirectoryFlip(std::size_t offset, std::uint8_t bit);

    // The unplug fault once its last sector has been produced. From then on the block takes no
    // input and produces nothing more; the host takes it off the line after the tool has read
    // what is pending, and reset() on its return clears this.
    const std::optional<UnplugFault>& unplugDue() const { return unplugDue_; }

private:
    enum class StreamState { Idle, BasicAwaitContinue };

    std::size_t requestLength(std::uint8_t command) const;
    void handle(const std::uint8_t* request);
    void sendHello();
    void sendDirectory();
    void applyConfig(const std::uint8_t* frame);
    void sendMemorySector(std::uint32_t sectorAddress);
    void startBasicStream(std::uint8_t address, std::uint8_t recordIndex);
    void continueBasicStream();
    void sendAddressedSectors(std::uint8_t address, std::uint8_t recordIndex,
                              std::uint16_t lowSectorIndex, std::uint32_t count);
    std::uint64_t resolveSector(std::uint8_t address, std::uint8_t recordIndex,
                                std::uint16_t lowSectorIndex, std::uint64_t sectorsInRecord) const;
    void sendBasicBlock();
    // Appends `size` bytes of a record from `offset` on, zeros past its end, and counts them as
    // one sector toward the unplug and line faults. False when a line fault cut the reply there.
    bool sendRecordBytes(const EntrySetup& entry, std::uint8_t recordIndex, std::uint64_t offset,
                         std::size_t size, std::uint64_t recordLength);
    // Lets the line faults aimed at the sector that ends the output act on its `size` bytes;
    // false when one cut the reply there.
    bool disturbSector(std::size_t size);
    void fireUnplugWhenDue();
    void sendAck(Exchange exchange);
    // 0x0E, what an acknowledgement fault sends instead, or nothing when it withholds the byte.
    std::optional<std::uint8_t> closingByte(Exchange exchange);
    const EntrySetup* findEntry(std::uint8_t address) const;
    std::uint8_t* appendOutput(std::size_t count);
    void put(std::uint8_t byte) { *appendOutput(1) = byte; }

    BlockSetup setup_;
    std::vector<std::uint8_t> received_;
    std::uint32_t directoryReads_ = 0;
    std::uint64_t recordSectorsSent_ = 0;
    struct BitFlip {
        std::size_t offset = 0;
        std::uint8_t bit = 0;
    };
    std::optional<BitFlip> directoryFlip_;
    std::vector<ConfigFrameBytes> configFrames_;

    std::vector<std::uint8_t> request_;  // bytes of a request still incomplete
    std::vector<std::uint8_t> output_;
    std::size_t outputStart_ = 0;
    // Bytes ever taken or discarded from the output, and where (in that count) the bytes of
    // pending Error faults and the first bytes of Late faults stand.
    std::uint64_t outputPassed_ = 0;
    std::deque<std::uint64_t> lineErrorsAt_;
    std::deque<std::uint64_t> lateBytesAt_;

    StreamState state_ = StreamState::Idle;
    std::uint8_t basicAddress_ = 0;
    std::uint8_t basicRecord_ = 0;
    std::uint64_t basicOffset_ = 0;
    std::uint64_t basicLength_ = 0;

    // Where the last addressed read of a record stood, to place the 16-bit sector index.
    std::optional<std::uint16_t> lastRecordKey_;
    std::uint64_t lastSector_ = 0;

    std::uint64_t sectorsSinceArmed_ = 0;
    std::optional<UnplugFault> unplugDue_;
    // Bytes of garbage faults whose sector went out, waiting for the next record acknowledgement.
    std::vector<std::uint8_t> garbageDue_;
    std::vector<std::uint8_t> lateDue_;  // the same for Late faults
};

}  // namespace kelvra::blocksim
