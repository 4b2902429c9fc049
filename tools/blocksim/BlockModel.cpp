#include "tools/blocksim/BlockModel.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "tools/blocksim/DeviceBytes.h"
#include "tools/blocksim/DeviceConfigFrame.h"
#include "tools/blocksim/DeviceDirEntry.h"
#include "tools/blocksim/DeviceParams.h"
#include "tools/blocksim/SampleGenerator.h"

namespace kelvra::blocksim {

namespace {

constexpr std::uint8_t kErasedByte = 0xFF;  // memory outside the session headers
constexpr std::uint64_t kSectorIndexSpan = 0x10000;

std::uint16_t le16(const std::uint8_t* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t le32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

std::uint32_t sessionStride(std::uint8_t firmware) {
    const std::uint32_t seconds = firmware < 60 ? 120 : 180;
    const std::uint32_t rate = firmware < 50 ? 21333 : 21362;
    const std::uint32_t sectorsPerRecord = (seconds * rate * 2) >> 9;
    return 4 * sectorsPerRecord + 6;
}

BlockModel::BlockModel(BlockSetup setup) : setup_(std::move(setup)) {
    fireUnplugWhenDue();
}

void BlockModel::receive(const std::uint8_t* bytes, std::size_t count) {
    received_.insert(received_.end(), bytes, bytes + count);
    for (std::size_t i = 0; i < count; ++i) {
        if (setup_.faults.silent || unplugDue_) {
            return;
        }
        request_.push_back(bytes[i]);
        if (request_.size() == requestLength(request_.front())) {
            handle(request_.data());
            request_.clear();
        }
    }
}

std::size_t BlockModel::takeOutput(std::uint8_t* out, std::size_t max) {
    const std::size_t count = std::min(max, pendingOutput());
    if (count > 0) {
        std::memcpy(out, output_.data() + outputStart_, count);
        outputStart_ += count;
        outputPassed_ += count;
    }
    for (std::deque<std::uint64_t>* marks : {&lineErrorsAt_, &lateBytesAt_}) {
        while (!marks->empty() && marks->front() < outputPassed_) {
            marks->pop_front();
        }
    }
    if (outputStart_ == output_.size()) {
        output_.clear();
        outputStart_ = 0;
    }
    return count;
}

std::optional<std::size_t> BlockModel::pendingBeforeLineError() const {
    if (lineErrorsAt_.empty()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(lineErrorsAt_.front() - outputPassed_);
}

std::optional<std::size_t> BlockModel::pendingBeforeLateBytes() const {
    if (lateBytesAt_.empty()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(lateBytesAt_.front() - outputPassed_);
}

void BlockModel::discardOutput() {
    outputPassed_ += pendingOutput();
    lineErrorsAt_.clear();
    lateBytesAt_.clear();
    output_.clear();
    outputStart_ = 0;
}

void BlockModel::reset() {
    request_.clear();
    discardOutput();
    state_ = StreamState::Idle;
    lastRecordKey_.reset();
    lastSector_ = 0;
    sectorsSinceArmed_ = 0;
    unplugDue_.reset();
}

void BlockModel::setFaults(const Faults& faults) {
    setup_.faults = faults;
    garbageDue_.clear();
    lateDue_.clear();
    sectorsSinceArmed_ = 0;
    fireUnplugWhenDue();
}

void BlockModel::setShortParams(std::optional<std::uint8_t> parameterBytes) {
    setup_.faults.shortParams = parameterBytes;
}

void BlockModel::setAckFault(Exchange exchange, std::optional<AckFault> fault) {
    setup_.faults.ack(exchange) = fault;
}

void BlockModel::armUnplug(std::optional<UnplugFault> fault) {
    setup_.faults.unplug = fault;
    sectorsSinceArmed_ = 0;
    fireUnplugWhenDue();
}

void BlockModel::armDirectoryFlip(std::size_t offset, std::uint8_t bit) {
    directoryFlip_ = BitFlip{offset, static_cast<std::uint8_t>(bit & 7U)};
}

void BlockModel::armLineFault(const LineFault& fault) {
    setup_.faults.line.push_back(fault);
}

void BlockModel::fireUnplugWhenDue() {
    if (setup_.faults.unplug && sectorsSinceArmed_ >= setup_.faults.unplug->afterSectors) {
        unplugDue_ = setup_.faults.unplug;
        setup_.faults.unplug.reset();
    }
}

std::size_t BlockModel::requestLength(std::uint8_t command) const {
    switch (command) {
        case CmdStreamStart:
            return 3;
        case CmdDelete:
            return 2;
        case CmdSetClock:
            return 7;
        case CmdConfig:
            return kConfigFrameSize;
        case CmdReadSector:
        case CmdSectorRequest:
            return 5;
        case CmdBatchRequest:
            return 6;  // the 5-byte request and the count written after it
        default:
            return 1;
    }
}

void BlockModel::handle(const std::uint8_t* request) {
    const std::uint8_t command = request[0];
    if (state_ == StreamState::BasicAwaitContinue) {
        if (command == StreamContinue) {
            continueBasicStream();
            return;
        }
        // The tool gave up on the stream and went on with something else.
        state_ = StreamState::Idle;
    }
    const StreamMode mode = streamModeFor(setup_.firmware);
    switch (command) {
        case CmdHello:
            sendHello();
            break;
        case CmdDirectory:
            ++directoryReads_;
            sendDirectory();
            break;
        case CmdStreamStart:
            if (mode == StreamMode::Basic) {
                startBasicStream(request[1], request[2]);
            }
            break;
        case CmdDelete: {
            const auto found =
                std::find_if(setup_.entries.begin(), setup_.entries.end(),
                             [&](const EntrySetup& entry) { return entry.address == request[1]; });
            if (found != setup_.entries.end()) {
                setup_.entries.erase(found);
            }
            sendAck(Exchange::Delete);
            break;
        }
        case CmdClearMemory:
            setup_.entries.clear();
            sendAck(Exchange::Clear);
            break;
        case CmdSetClock: {
            BcdDateTime clock{};
            std::copy(request + 1, request + 7, clock.begin());
            setup_.clock = clock;
            sendAck(Exchange::Clock);
            break;
        }
        case CmdConfig:
            applyConfig(request);
            sendAck(Exchange::Config);
            break;
        case CmdReadSector:
            sendMemorySector(le32(request + 1));
            break;
        case CmdSectorRequest:
            if (mode == StreamMode::SingleSectors) {
                sendAddressedSectors(request[1], request[2], le16(request + 3), 1);
            }
            break;
        case CmdBatchRequest:
            if (mode == StreamMode::Batches && request[5] >= 1 && request[5] <= kMaxBatchSectors) {
                sendAddressedSectors(request[1], request[2], le16(request + 3), request[5]);
            }
            break;
        default:
            break;
    }
}

void BlockModel::sendHello() {
    const BlockParamBytes params = encodeBlockParams(setup_);
    put(ReplyHello);
    const std::size_t sent =
        setup_.faults.shortParams
            ? std::min<std::size_t>(*setup_.faults.shortParams, kBlockParamsSize - 1)
            : kBlockParamsSize;
    std::copy(params.begin(), params.begin() + static_cast<std::ptrdiff_t>(sent),
              appendOutput(sent));
    if (!setup_.faults.shortParams) {
        sendAck(Exchange::Hello);
    }
}

void BlockModel::sendDirectory() {
    const std::size_t start = output_.size();
    const std::size_t count = std::min(setup_.entries.size(), kMaxDirEntries);
    for (std::size_t i = 0; i < count; ++i) {
        encodeDirEntry(setup_.entries[i], appendOutput(kDirEntrySize));
    }
    if (count < kMaxDirEntries) {
        put(DirEnd);
    }
    if (directoryFlip_ && start + directoryFlip_->offset < output_.size()) {
        output_[start + directoryFlip_->offset] ^=
            static_cast<std::uint8_t>(1U << directoryFlip_->bit);
    }
    directoryFlip_.reset();
    sendAck(Exchange::Directory);
}

void BlockModel::applyConfig(const std::uint8_t* frame) {
    ConfigFrameBytes bytes{};
    std::copy(frame, frame + kConfigFrameSize, bytes.begin());
    configFrames_.push_back(bytes);
    const std::optional<IdentityChange> change = identityChange(bytes);
    if (!change) {
        return;
    }
    setup_.serialYear = change->serialYear.value_or(setup_.serialYear);
    setup_.serialNumber = change->serialNumber.value_or(setup_.serialNumber);
}

void BlockModel::sendMemorySector(std::uint32_t sectorAddress) {
    std::uint8_t* sector = appendOutput(kSectorSize);
    std::fill(sector, sector + kSectorSize, kErasedByte);
    const std::uint32_t stride = sessionStride(setup_.firmware);
    if (sectorAddress >= 2 && (sectorAddress - 2) % stride == 0) {
        const std::size_t session = (sectorAddress - 2) / stride;
        if (session < setup_.sessions.size()) {
            const SessionHeader& header = setup_.sessions[session];
            std::copy(header.begin(), header.end(), sector);
        }
    }
    sendAck(Exchange::ReadSector);
}

void BlockModel::startBasicStream(std::uint8_t address, std::uint8_t recordIndex) {
    const EntrySetup* entry = findEntry(address);
    if (entry == nullptr) {
        return;
    }
    basicAddress_ = address;
    basicRecord_ = recordIndex;
    basicOffset_ = 0;
    basicLength_ = recordByteCount(setup_, *entry);
    if (basicLength_ == 0) {
        sendAck(Exchange::Sector);
        return;
    }
    state_ = StreamState::BasicAwaitContinue;
    sendBasicBlock();
}

void BlockModel::continueBasicStream() {
    if (basicOffset_ >= basicLength_) {
        state_ = StreamState::Idle;
        sendAck(Exchange::Sector);
        return;
    }
    sendBasicBlock();
}

void BlockModel::sendBasicBlock() {
    const EntrySetup* entry = findEntry(basicAddress_);
    if (entry == nullptr) {
        state_ = StreamState::Idle;
        return;
    }
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(kSectorSize, basicLength_ - basicOffset_));
    if (!sendRecordBytes(*entry, basicRecord_, basicOffset_, size, basicLength_)) {
        state_ = StreamState::Idle;
    }
    basicOffset_ += size;
}

void BlockModel::sendAddressedSectors(std::uint8_t address, std::uint8_t recordIndex,
                                      std::uint16_t lowSectorIndex, std::uint32_t count) {
    const EntrySetup* entry = findEntry(address);
    if (entry == nullptr) {
        return;
    }
    const std::uint64_t length = recordByteCount(setup_, *entry);
    const std::uint64_t first = resolveSector(address, recordIndex, lowSectorIndex,
                                              (length + kSectorSize - 1) / kSectorSize);
    for (std::uint32_t k = 0; k < count; ++k) {
        const bool whole =
            sendRecordBytes(*entry, recordIndex, (first + k) * kSectorSize, kSectorSize, length);
        lastRecordKey_ = static_cast<std::uint16_t>(address << 8 | recordIndex);
        lastSector_ = first + k;
        if (!whole || (unplugDue_ && k + 1 < count)) {
            return;
        }
    }
    sendAck(Exchange::Sector);
}

std::uint64_t BlockModel::resolveSector(std::uint8_t address, std::uint8_t recordIndex,
                                        std::uint16_t lowSectorIndex,
                                        std::uint64_t sectorsInRecord) const {
    // Only the low 16 bits of the index travel; in a record of more than 65536 sectors take the
    // sector with those bits nearest to where this record's reading stood.
    const auto key = static_cast<std::uint16_t>(address << 8 | recordIndex);
    const std::uint64_t expected = lastRecordKey_ == key ? lastSector_ + 1 : 0;
    const std::uint64_t base = (expected & ~(kSectorIndexSpan - 1)) | lowSectorIndex;
    std::uint64_t best = lowSectorIndex;
    std::uint64_t bestDistance = std::numeric_limits<std::uint64_t>::max();
    for (const std::uint64_t candidate : {base >= kSectorIndexSpan ? base - kSectorIndexSpan : base,
                                          base, base + kSectorIndexSpan}) {
        if (candidate >= sectorsInRecord) {
            continue;
        }
        const std::uint64_t distance =
            candidate > expected ? candidate - expected : expected - candidate;
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    return best;
}

bool BlockModel::sendRecordBytes(const EntrySetup& entry, std::uint8_t recordIndex,
                                 std::uint64_t offset, std::size_t size,
                                 std::uint64_t recordLength) {
    ++recordSectorsSent_;
    std::uint8_t* out = appendOutput(size);
    const std::size_t inRecord =
        offset < recordLength
            ? static_cast<std::size_t>(std::min<std::uint64_t>(size, recordLength - offset))
            : 0;
    fillRecordBytes(setup_, entry.address, recordIndex, offset, out, inRecord, entry.sampleSeed,
                    entry.samples);
    std::fill(out + inRecord, out + size, std::uint8_t{0});
    const bool whole = disturbSector(size);
    ++sectorsSinceArmed_;
    fireUnplugWhenDue();
    return whole;
}

bool BlockModel::disturbSector(std::size_t size) {
    std::vector<LineFault> hits;
    std::vector<LineFault>& pending = setup_.faults.line;
    for (auto fault = pending.begin(); fault != pending.end();) {
        if (fault->afterSectors > 0) {
            --fault->afterSectors;
            ++fault;
        } else if (fault->kind == LineFault::Kind::Garbage) {
            garbageDue_.insert(garbageDue_.end(), fault->count, fault->byte);
            fault = pending.erase(fault);
        } else if (fault->kind == LineFault::Kind::Late) {
            lateDue_.insert(lateDue_.end(), fault->count, fault->byte);
            fault = pending.erase(fault);
        } else {
            hits.push_back(*fault);
            fault = pending.erase(fault);
        }
    }
    if (hits.empty()) {
        return true;
    }
    // A short last block of a basic stream takes an offset past its end at its last byte (drop,
    // flip) or at its end (insert, cut), so the fault still shows.
    const auto at = [size](const LineFault& fault) {
        const bool onAByte = fault.kind == LineFault::Kind::Drop ||
                             fault.kind == LineFault::Kind::Flip ||
                             fault.kind == LineFault::Kind::Error;
        return std::min<std::size_t>(fault.offset, onAByte ? size - 1 : size);
    };
    const auto hitAt = [&](LineFault::Kind kind, std::size_t index) {
        return std::any_of(hits.begin(), hits.end(), [&](const LineFault& fault) {
            return fault.kind == kind && at(fault) == index;
        });
    };
    const std::vector<std::uint8_t> sector(output_.end() - static_cast<std::ptrdiff_t>(size),
                                           output_.end());
    output_.resize(output_.size() - size);
    for (std::size_t index = 0; index <= size; ++index) {
        if (hitAt(LineFault::Kind::Cut, index)) {
            return false;
        }
        std::uint8_t flipped = 0;
        bool lineError = false;
        for (const LineFault& fault : hits) {
            if (fault.kind == LineFault::Kind::Insert && at(fault) == index) {
                put(fault.byte);
            }
            const bool damages =
                fault.kind == LineFault::Kind::Flip || fault.kind == LineFault::Kind::Error;
            if (damages && at(fault) == index) {
                flipped ^= static_cast<std::uint8_t>(1u << fault.bit);
                lineError = lineError || fault.kind == LineFault::Kind::Error;
            }
        }
        if (index < size && !hitAt(LineFault::Kind::Drop, index)) {
            if (lineError) {
                lineErrorsAt_.push_back(outputPassed_ + pendingOutput());
            }
            put(static_cast<std::uint8_t>(sector[index] ^ flipped));
        }
    }
    return true;
}

void BlockModel::sendAck(Exchange exchange) {
    const std::optional<std::uint8_t> closing = closingByte(exchange);
    if (!closing) {
        return;
    }
    put(*closing);
    if (exchange == Exchange::Sector && !garbageDue_.empty()) {
        std::copy(garbageDue_.begin(), garbageDue_.end(), appendOutput(garbageDue_.size()));
        garbageDue_.clear();
    }
    if (exchange == Exchange::Sector && !lateDue_.empty()) {
        lateBytesAt_.push_back(outputPassed_ + pendingOutput());
        std::copy(lateDue_.begin(), lateDue_.end(), appendOutput(lateDue_.size()));
        lateDue_.clear();
    }
}

std::optional<std::uint8_t> BlockModel::closingByte(Exchange exchange) {
    std::optional<AckFault>& fault = setup_.faults.ack(exchange);
    if (!fault) {
        return ReplyAck;
    }
    if (fault->after > 0) {
        --fault->after;
        return ReplyAck;
    }
    const std::optional<std::uint8_t> sent = fault->kind == AckFault::Kind::Wrong
                                                 ? std::optional<std::uint8_t>(fault->byte)
                                                 : std::nullopt;
    if (fault->times > 0 && --fault->times == 0) {
        fault.reset();
    }
    return sent;
}

const EntrySetup* BlockModel::findEntry(std::uint8_t address) const {
    const auto found =
        std::find_if(setup_.entries.begin(), setup_.entries.end(),
                     [&](const EntrySetup& entry) { return entry.address == address; });
    return found == setup_.entries.end() ? nullptr : &*found;
}

std::uint8_t* BlockModel::appendOutput(std::size_t count) {
    if (outputStart_ > 0 && outputStart_ >= output_.size() / 2) {
        output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(outputStart_));
        outputStart_ = 0;
    }
    const std::size_t start = output_.size();
    output_.resize(start + count);
    return output_.data() + start;
}

}  // namespace kelvra::blocksim
