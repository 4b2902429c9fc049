#include "download/ContentSample.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "download/WavFormat.h"
#include "link/LinkBytes.h"

namespace kelvra {

namespace {

// Only the low 16 bits of a sector index travel: a block asked for a later sector could only
// guess which one is meant, so the last it can be asked for plainly stands for a long record's
// end.
constexpr std::uint64_t kLastAddressableSector = 0xFFFF;

// One channel of a stereo 16-bit WAV file, a sector's worth at a time.
class WavChannel {
public:
    WavChannel(const std::string& path, int channel)
        : in_(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary),
          channel_(channel) {
        std::uint8_t tag[4] = {};
        in_.read(reinterpret_cast<char*>(tag), sizeof tag);
        headerSize_ = wavHeaderSizeOf(tag);
    }

    bool holds(std::uint64_t channelBytes) {
        in_.seekg(0, std::ios::end);
        return in_ && static_cast<std::uint64_t>(in_.tellg()) == headerSize_ + 2 * channelBytes;
    }

    // The channel's `count` bytes of `sector` into `out`; false when they cannot be read.
    bool read(std::uint64_t sector, std::size_t count, std::uint8_t* out) {
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(headerSize_ + sector * 2 * kSectorSize));
        in_.read(reinterpret_cast<char*>(frames_.data()), static_cast<std::streamsize>(2 * count));
        if (static_cast<std::size_t>(in_.gcount()) != 2 * count) {
            return false;
        }
        for (std::size_t k = 0; k + 1 < count; k += 2) {
            out[k] = frames_[2 * k + 2 * static_cast<std::size_t>(channel_)];
            out[k + 1] = frames_[2 * k + 2 * static_cast<std::size_t>(channel_) + 1];
        }
        return true;
    }

private:
    std::ifstream in_;
    int channel_;
    // The file says itself whether it is RIFF or RF64.
    std::size_t headerSize_ = kWavHeaderSize;
    std::array<std::uint8_t, 2 * kSectorSize> frames_{};
};

// The stream fields a check borrows, put back once it is done.
class BorrowedStream {
public:
    explicit BorrowedStream(CBlockPort& block)
        : block_(block),
          inRecord_(block.inRecord),
          bytesLeft_(block.bytesLeft),
          sectorIndex_(block.sectorIndex),
          entryAddress_(block.entryAddress),
          recordIndex_(block.recordIndex),
          batchLeft_(block.batchLeft) {}
    ~BorrowedStream() {
        block_.inRecord = inRecord_;
        block_.bytesLeft = bytesLeft_;
        block_.sectorIndex = sectorIndex_;
        block_.entryAddress = entryAddress_;
        block_.recordIndex = recordIndex_;
        block_.batchLeft = batchLeft_;
    }
    BorrowedStream(const BorrowedStream&) = delete;
    BorrowedStream& operator=(const BorrowedStream&) = delete;

private:
    CBlockPort& block_;
    bool inRecord_;
    std::uint32_t bytesLeft_;
    std::uint32_t sectorIndex_;
    std::uint8_t entryAddress_;
    std::uint8_t recordIndex_;
    std::int32_t batchLeft_;
};

struct Copy {
    CBlockPort& block;
    char slot;
    std::uint8_t address;
    std::uint8_t recordIndex;
    std::uint64_t channelBytes;
};

std::size_t bytesOfSector(const Copy& copy, std::uint64_t sector) {
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(kSectorSize, copy.channelBytes - sector * kSectorSize));
}

ContentCheck compareSector(const Copy& copy, WavChannel& file, std::uint64_t sector,
                           const std::uint8_t* fromBlock) {
    std::array<std::uint8_t, kSectorSize> fromFile{};
    const std::size_t count = bytesOfSector(copy, sector);
    if (!file.read(sector, count, fromFile.data())) {
        return {ContentMatch::Unreadable, 0, sector};
    }
    if (std::memcmp(fromFile.data(), fromBlock, count) != 0) {
        return {ContentMatch::Different, copy.slot, sector};
    }
    return {};
}

// One sector by address: a batch of one sector, or a single-sector request, as the block takes.
ContentCheck sampleSector(const Copy& copy, WavChannel& file, std::uint64_t sector) {
    CBlockPort& block = copy.block;
    block.inRecord = true;
    block.entryAddress = copy.address;
    block.recordIndex = copy.recordIndex;
    block.sectorIndex = static_cast<std::uint32_t>(sector);
    block.batchLeft = 0;
    // No more than a sector wanted: a batch request asks for exactly one.
    block.bytesLeft = static_cast<std::uint32_t>(bytesOfSector(copy, sector));
    std::array<std::uint8_t, kSectorSize> fromBlock{};
    if (!block.requestSectors() || !block.readSector(fromBlock.data())) {
        return {ContentMatch::Unreadable, copy.slot, sector};
    }
    return compareSector(copy, file, sector, fromBlock.data());
}

// The whole record as the basic stream delivers it. The stream is read to its end whatever
// the first difference, so that the block is left idle.
ContentCheck streamWhole(const Copy& copy, WavChannel& file) {
    CBlockPort& block = copy.block;
    block.inRecord = true;
    block.bytesLeft = static_cast<std::uint32_t>(copy.channelBytes);
    if (!block.startRecord(copy.address, copy.recordIndex)) {
        return {ContentMatch::Unreadable, copy.slot, 0};
    }
    ContentCheck first;
    std::array<std::uint8_t, kSectorSize> fromBlock{};
    for (std::uint64_t sector = 0; block.bytesLeft != 0; ++sector) {
        if (!block.readSector(fromBlock.data())) {
            return {ContentMatch::Unreadable, copy.slot, sector};
        }
        if (first.match == ContentMatch::Same) {
            first = compareSector(copy, file, sector, fromBlock.data());
        }
    }
    return first;
}

ContentCheck compareCopy(const Copy& copy, WavChannel& file, bool wholeRecords) {
    const BorrowedStream borrowed(copy.block);
    if (!copy.block.addressedReads) {
        return wholeRecords ? streamWhole(copy, file)
                            : ContentCheck{ContentMatch::NotSampled, copy.slot, 0};
    }
    const std::uint64_t last =
        std::min((copy.channelBytes - 1) / kSectorSize, kLastAddressableSector);
    for (const std::uint64_t sector : {std::uint64_t{0}, last}) {
        const ContentCheck check = sampleSector(copy, file, sector);
        if (check.match != ContentMatch::Same || last == 0) {
            return check;
        }
    }
    return {};
}

}  // namespace

ContentCheck compareContent(CBlockPort& slotA, CBlockPort& slotB, const DownloadItem& item,
                            const std::string& path, bool wholeRecords) {
    const std::uint64_t channelBytes = item.channelBytes();
    // The channels go by the role a copy was made in: block A's copy is on the left unless
    // it was made as block B.
    WavChannel left(path, 0);
    WavChannel right(path, 1);
    if (!left.holds(channelBytes)) {
        return {ContentMatch::Different, 0, 0};
    }
    if (channelBytes == 0) {
        return {};
    }
    const auto recordIndex = static_cast<std::uint8_t>(item.recordIndex & 0xFF);
    ContentCheck result;
    if (item.useA) {
        const Copy copy{slotA, 'A', static_cast<std::uint8_t>(item.addrA & 0xFF), recordIndex,
                        channelBytes};
        result = compareCopy(copy, item.swapped != 0 ? right : left, wholeRecords);
    }
    if (item.useB &&
        (result.match == ContentMatch::Same || result.match == ContentMatch::NotSampled)) {
        const Copy copy{slotB, 'B', static_cast<std::uint8_t>(item.addrB & 0xFF), recordIndex,
                        channelBytes};
        const ContentCheck check =
            compareCopy(copy, item.swapped != 0 ? left : right, wholeRecords);
        if (check.match != ContentMatch::Same) {
            result = check;
        }
    }
    return result;
}

std::string describeContentCheck(const ContentCheck& check) {
    const std::string block = std::string("block ") + check.slot + "'s";
    const std::string sector = " sector " + std::to_string(check.sector);
    switch (check.match) {
        case ContentMatch::Same:
            return "the blocks' samples match the file";
        case ContentMatch::Different:
            return check.slot == 0 ? "the file is not as long as the record"
                                   : block + sector + " differs from the file";
        case ContentMatch::Unreadable:
            return check.slot == 0 ? "the file could not be read"
                                   : block + sector + " could not be read";
        case ContentMatch::NotSampled:
            return "block " + std::string(1, check.slot) +
                   " streams only whole records, and none was read";
    }
    return {};
}

}  // namespace kelvra
