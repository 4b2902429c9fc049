#include "tools/blocksim/UsbSerialAdapter.h"

#include <algorithm>

namespace kelvra::blocksim {

UsbSerialAdapter::UsbSerialAdapter(std::chrono::milliseconds latency) : latency_(latency) {}

void UsbSerialAdapter::setLatency(std::chrono::milliseconds latency) {
    latency_ = latency;
    if (!packets_.empty() && !packets_.back().sealed) {
        packets_.back().due = packets_.back().first + latency_;
    }
}

void UsbSerialAdapter::receive(const std::uint8_t* bytes, std::size_t count, Time at) {
    while (count > 0) {
        if (!packets_.empty() && !packets_.back().sealed && packets_.back().due <= at) {
            packets_.back().sealed = true;
        }
        if (packets_.empty() || packets_.back().sealed) {
            Packet packet;
            packet.first = at;
            packet.due = at + latency_;
            packet.bytes.reserve(kPacketBytes);
            packets_.push_back(std::move(packet));
        }
        Packet& open = packets_.back();
        const std::size_t taken = std::min(count, kPacketBytes - open.bytes.size());
        open.bytes.insert(open.bytes.end(), bytes, bytes + taken);
        bytes += taken;
        count -= taken;
        if (open.bytes.size() == kPacketBytes) {
            open.due = at;
            open.sealed = true;
        }
    }
}

void UsbSerialAdapter::markLineError() {
    if (!packets_.empty()) {
        ++packets_.back().lineErrors;
    }
}

std::uint64_t UsbSerialAdapter::handOver(Time now, std::deque<std::uint8_t>& host) {
    std::uint64_t lineErrors = 0;
    while (!packets_.empty() && packets_.front().due <= now) {
        const Packet& packet = packets_.front();
        host.insert(host.end(), packet.bytes.begin(), packet.bytes.end());
        lineErrors += packet.lineErrors;
        packets_.pop_front();
    }
    return lineErrors;
}

std::optional<UsbSerialAdapter::Time> UsbSerialAdapter::nextHandOver() const {
    if (packets_.empty()) {
        return std::nullopt;
    }
    return packets_.front().due;
}

}  // namespace kelvra::blocksim
