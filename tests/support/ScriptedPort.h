#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <vector>

#include "platform/serial/SerialPort.h"

namespace kelvra::test {

// A serial port whose peer is a script: bytes queued with feed() are what the block sends,
// everything written is kept for wire assertions. Time is virtual: a read that comes back
// short costs the time the real port's time-outs would have taken.
class ScriptedPort : public platform::SerialPort {
public:
    void feed(std::initializer_list<std::uint8_t> bytes);
    void feed(const std::vector<std::uint8_t>& bytes);
    void feedRepeated(std::uint8_t byte, std::size_t count);

    // The next read yields at most `limit` bytes (0: the peer pauses), whatever is queued.
    void limitNextRead(std::size_t limit);
    // Writes transfer at most this many bytes in all from now on (a port that goes away).
    void failWritesAfter(std::size_t bytes);
    // Bytes a USB adapter holds back: sent after what is queued, not counted as waiting until a
    // read or a wait for input reaches them; what is fed after them is held back with them.
    void feedLate(const std::vector<std::uint8_t>& bytes);
    // The driver counts a line error once `bytes` more bytes have been read.
    void lineErrorAfter(std::size_t bytes);

    std::size_t write(const std::uint8_t* bytes, std::size_t count) override;
    std::size_t read(std::uint8_t* bytes, std::size_t count) override;
    std::size_t available() override { return incoming_.size(); }
    std::size_t availableWithin(unsigned milliseconds) override;
    std::uint64_t lineErrors() override;

    const std::vector<std::uint8_t>& written() const { return written_; }
    const std::vector<std::size_t>& readSizes() const { return readSizes_; }
    const std::vector<std::size_t>& writeSizes() const { return writeSizes_; }
    std::size_t unread() const { return incoming_.size(); }
    long long elapsedMs() const { return elapsedMs_; }

private:
    std::deque<std::uint8_t> incoming_;
    std::deque<std::uint8_t> late_;
    std::size_t bytesRead_ = 0;
    std::size_t lineErrorAt_ = static_cast<std::size_t>(-1);
    std::deque<std::size_t> readLimits_;
    std::vector<std::uint8_t> written_;
    std::vector<std::size_t> readSizes_;
    std::vector<std::size_t> writeSizes_;
    std::size_t writeBudget_ = static_cast<std::size_t>(-1);
    long long elapsedMs_ = 0;
};

}  // namespace kelvra::test
