#include "tools/blocksim/DeviceConfigFrame.h"

namespace kelvra::blocksim {

namespace {

constexpr std::size_t kArgumentByte = 1;
constexpr std::size_t kFirstWord = 2;
constexpr std::size_t kSubCommandByte = 6;
constexpr std::uint8_t kSubCommandSetIdentity = 0xFF;
constexpr std::uint8_t kByteNotSupplied = 0xFF;
constexpr std::uint16_t kWordNotSupplied = 0xFFFF;

}  // namespace

std::optional<IdentityChange> identityChange(const ConfigFrameBytes& frame) {
    if (frame[kSubCommandByte] != kSubCommandSetIdentity) {
        return std::nullopt;
    }
    IdentityChange change;
    if (frame[kArgumentByte] != kByteNotSupplied) {
        change.serialYear = frame[kArgumentByte];
    }
    const auto serialNumber =
        static_cast<std::uint16_t>(frame[kFirstWord] | frame[kFirstWord + 1] << 8);
    if (serialNumber != kWordNotSupplied) {
        change.serialNumber = serialNumber;
    }
    return change;
}

}  // namespace kelvra::blocksim
