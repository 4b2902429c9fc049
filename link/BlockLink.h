#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "link/BlockParams.h"
#include "platform/serial/SerialPort.h"

namespace kelvra {

using platform::SerialPort;

// Opens and configures a block's port; a port that opens but cannot be configured comes
// back with OpenStatus::NotConfigurable and must be closed by the caller.
platform::OpenedPort openBlockPort(platform::SerialBackend& backend, const std::string& deviceName);

std::size_t writeBytes(SerialPort& port, const std::uint8_t* bytes, std::size_t count);
std::size_t readBytes(SerialPort& port, std::uint8_t* bytes, std::size_t count);

// Up to 40 one-byte reads; the first byte that arrives decides.
inline constexpr int kWaitForByteReads = 40;
std::optional<std::uint8_t> waitForByte(SerialPort& port);

// The step of the greeting at which it failed.
enum class HelloFailure {
    None,
    NotWritten,    // step 1: 00 was not written
    NoReply,       // step 2: no 0x55 came back
    NoParameters,  // step 3: fewer than 7 parameter bytes
    NoAck,         // step 4: no 0x0E after the parameters
};

struct HelloResult {
    HelloFailure failure = HelloFailure::None;
    BlockParams params;  // valid when failure is None

    bool ok() const { return failure == HelloFailure::None; }
};

HelloResult helloExchange(SerialPort& port);

// The greeting read without checks (after pairing, and by the factory dialog): writes 00,
// reads the 8-byte form (0x55 and the parameters) into `reply`, then one more byte. Returns
// how many of the 8 bytes arrived; the bytes beyond that are left as they were.
std::size_t helloUnchecked(SerialPort& port, std::uint8_t* reply);

void closePort(std::unique_ptr<SerialPort>& port);

}  // namespace kelvra
