#include "tools/blocksim/DeviceParams.h"

namespace kelvra::blocksim {

BlockParamBytes encodeBlockParams(const BlockSetup& block) {
    const auto flags = static_cast<std::uint8_t>((block.roleA ? kFlagRoleA : 0) |
                                                 (block.service ? kFlagService : 0));
    return {
        block.serialYear,
        static_cast<std::uint8_t>(block.serialNumber & 0xFF),
        static_cast<std::uint8_t>(block.serialNumber >> 8),
        block.firmware,
        flags,
        0,
        0,
    };
}

}  // namespace kelvra::blocksim
