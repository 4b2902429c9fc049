#pragma once

#include <functional>
#include <vector>

#include "fuzz/harness/ReplyStream.h"
#include "platform/serial/SerialPort.h"

namespace kelvra::fuzz {

// A block's port whose replies come from a ReplyStream. Every write goes out whole and is kept.
class StreamPort : public platform::SerialPort {
public:
    // `closed` runs when the port is closed (destroyed).
    explicit StreamPort(ReplyStream& replies, std::function<void()> closed = {});
    ~StreamPort() override;

    std::size_t write(const std::uint8_t* bytes, std::size_t count) override;
    std::size_t read(std::uint8_t* bytes, std::size_t count) override;
    std::size_t available() override;

    const std::vector<std::uint8_t>& written() const { return written_; }

private:
    ReplyStream& replies_;
    std::function<void()> closed_;
    std::vector<std::uint8_t> written_;
};

}  // namespace kelvra::fuzz
