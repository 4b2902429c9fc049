#include "link/BlockLink.h"

#include "link/LinkBytes.h"

namespace kelvra {

platform::OpenedPort openBlockPort(platform::SerialBackend& backend,
                                   const std::string& deviceName) {
    platform::OpenedPort opened = backend.open(deviceName);
    // A USB adapter otherwise holds every reply until its latency timer runs out: each round
    // trip of a download would pay that delay. A port that cannot is used as it is.
    if (opened.status == platform::OpenStatus::Ready) {
        opened.port->requestLowLatency();
    }
    return opened;
}

std::size_t writeBytes(SerialPort& port, const std::uint8_t* bytes, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    const std::size_t written = port.write(bytes, count);
    return written > count ? count : written;
}

std::size_t readBytes(SerialPort& port, std::uint8_t* bytes, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    const std::size_t received = port.read(bytes, count);
    // A backend that claims more than was asked must not make a caller read past its buffer.
    return received > count ? count : received;
}

std::optional<std::uint8_t> waitForByte(SerialPort& port) {
    for (int attempt = 0; attempt < kWaitForByteReads; ++attempt) {
        std::uint8_t byte = 0;
        if (readBytes(port, &byte, 1) == 1) {
            return byte;
        }
    }
    return std::nullopt;
}

HelloResult helloExchange(SerialPort& port) {
    HelloResult result;
    const std::uint8_t hello = CmdHello;
    if (writeBytes(port, &hello, 1) != 1) {
        result.failure = HelloFailure::NotWritten;
        return result;
    }
    std::uint8_t reply = 0;
    if (readBytes(port, &reply, 1) != 1 || reply != ReplyHello) {
        result.failure = HelloFailure::NoReply;
        return result;
    }
    std::uint8_t params[BlockParams::kSize] = {};
    if (readBytes(port, params, BlockParams::kSize) != BlockParams::kSize) {
        result.failure = HelloFailure::NoParameters;
        return result;
    }
    std::uint8_t ack = 0;
    if (readBytes(port, &ack, 1) != 1 || ack != ReplyAck) {
        result.failure = HelloFailure::NoAck;
        return result;
    }
    result.params = BlockParams::fromBytes(params);
    return result;
}

std::size_t helloUnchecked(SerialPort& port, std::uint8_t* reply) {
    const std::uint8_t hello = CmdHello;
    writeBytes(port, &hello, 1);
    std::uint8_t received[1 + BlockParams::kSize] = {};
    const std::size_t count = readBytes(port, received, sizeof received);
    for (std::size_t i = 0; i < count; ++i) {
        reply[i] = received[i];
    }
    std::uint8_t ack = 0;
    readBytes(port, &ack, 1);
    return count;
}

void closePort(std::unique_ptr<SerialPort>& port) {
    port.reset();
}

}  // namespace kelvra
