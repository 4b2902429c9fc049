#include "link/ConfigFrame.h"

#include "link/LinkBytes.h"

namespace kelvra {

namespace {

void putLittleEndian16(std::array<std::uint8_t, ConfigFrame::kSize>& bytes, std::size_t offset,
                       std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

ConfigFrame ConfigFrame::command(std::uint8_t subCommand) {
    ConfigFrame frame;
    frame.bytes[0] = CmdConfig;
    frame.bytes[6] = subCommand;
    return frame;
}

ConfigFrame ConfigFrame::undelete() {
    ConfigFrame frame = command(kUndelete);
    frame.bytes[1] = 0x25;
    return frame;
}

ConfigFrame ConfigFrame::serialNumber(std::uint8_t serialYear, std::uint16_t serialNumber) {
    ConfigFrame frame = command(kSetIdentity);
    frame.bytes[1] = serialYear;
    putLittleEndian16(frame.bytes, 2, serialNumber);
    putLittleEndian16(frame.bytes, 4, 0xFFFF);
    putLittleEndian16(frame.bytes, 7, 0xFFFF);
    return frame;
}

ConfigFrame ConfigFrame::value(std::uint16_t serialNumber, std::uint16_t value) {
    ConfigFrame frame = command(kSetIdentity);
    frame.bytes[1] = 0xFF;
    putLittleEndian16(frame.bytes, 2, serialNumber);
    putLittleEndian16(frame.bytes, 4, 0xFFFF);
    putLittleEndian16(frame.bytes, 7, value);
    return frame;
}

}  // namespace kelvra
