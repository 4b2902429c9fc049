#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace kelvra::blocksim {

// A USB serial adapter between a block and the host, as FTDI chips (and CP210x and CH340 ones
// with their own delays) treat received bytes: they are collected into packets of at most 62
// bytes, and a packet goes to the host once it is full or once the latency timer has run out
// since its first byte. Times are the caller's, on any clock that never goes back.
class UsbSerialAdapter {
public:
    using Time = std::chrono::microseconds;
    static constexpr std::size_t kPacketBytes = 62;

    explicit UsbSerialAdapter(std::chrono::milliseconds latency);

    std::chrono::milliseconds latency() const { return latency_; }
    // Also times the packet being collected, as a new latency timer does on the chip.
    void setLatency(std::chrono::milliseconds latency);

    // Bytes that came off the line at `at`, no earlier than those before them.
    void receive(const std::uint8_t* bytes, std::size_t count, Time at);
    // The line error the chip saw on the last byte received: its packet reports it to the
    // driver, which counts it when the packet arrives.
    void markLineError();

    // Appends the bytes of every packet due by `now` to `host`, in order, and returns how many
    // line errors those packets reported.
    std::uint64_t handOver(Time now, std::deque<std::uint8_t>& host);
    // When the next packet is due, while any bytes wait.
    std::optional<Time> nextHandOver() const;
    bool empty() const { return packets_.empty(); }
    // Drops what waits: the adapter lost power, or nobody holds the port.
    void clear() { packets_.clear(); }

private:
    struct Packet {
        std::vector<std::uint8_t> bytes;
        Time first{};
        Time due{};
        bool sealed = false;  // full, or its timer ran out: `due` no longer changes
        std::uint64_t lineErrors = 0;
    };

    std::chrono::milliseconds latency_;
    std::deque<Packet> packets_;
};

}  // namespace kelvra::blocksim
