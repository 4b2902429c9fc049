#include "tests/support/ScriptedPort.h"

#include <algorithm>

namespace kelvra::test {

void ScriptedPort::feed(std::initializer_list<std::uint8_t> bytes) {
    feed(std::vector<std::uint8_t>(bytes));
}

void ScriptedPort::feed(const std::vector<std::uint8_t>& bytes) {
    // What comes after bytes held back is held back with them: an adapter keeps their order.
    std::deque<std::uint8_t>& queue = late_.empty() ? incoming_ : late_;
    queue.insert(queue.end(), bytes.begin(), bytes.end());
}

void ScriptedPort::feedRepeated(std::uint8_t byte, std::size_t count) {
    incoming_.insert(incoming_.end(), count, byte);
}

void ScriptedPort::limitNextRead(std::size_t limit) {
    readLimits_.push_back(limit);
}

void ScriptedPort::failWritesAfter(std::size_t bytes) {
    writeBudget_ = bytes;
}

std::size_t ScriptedPort::write(const std::uint8_t* bytes, std::size_t count) {
    writeSizes_.push_back(count);
    const std::size_t sent = std::min(count, writeBudget_);
    writeBudget_ -= sent;
    written_.insert(written_.end(), bytes, bytes + sent);
    return sent;
}

void ScriptedPort::feedLate(const std::vector<std::uint8_t>& bytes) {
    late_.insert(late_.end(), bytes.begin(), bytes.end());
}

void ScriptedPort::lineErrorAfter(std::size_t bytes) {
    lineErrorAt_ = bytesRead_ + bytes;
}

std::size_t ScriptedPort::availableWithin(unsigned milliseconds) {
    if (incoming_.empty()) {
        elapsedMs_ += milliseconds;
    }
    incoming_.insert(incoming_.end(), late_.begin(), late_.end());
    late_.clear();
    return incoming_.size();
}

std::uint64_t ScriptedPort::lineErrors() {
    return bytesRead_ >= lineErrorAt_ ? 1 : 0;
}

std::size_t ScriptedPort::read(std::uint8_t* bytes, std::size_t count) {
    readSizes_.push_back(count);
    if (incoming_.size() < count) {
        incoming_.insert(incoming_.end(), late_.begin(), late_.end());
        late_.clear();
    }
    std::size_t available = std::min(count, incoming_.size());
    if (!readLimits_.empty()) {
        available = std::min(available, readLimits_.front());
        readLimits_.pop_front();
    }
    std::copy_n(incoming_.begin(), available, bytes);
    incoming_.erase(incoming_.begin(), incoming_.begin() + static_cast<long>(available));
    bytesRead_ += available;
    if (available == 0) {
        elapsedMs_ += 1000 + 5 * static_cast<long long>(count);
    } else if (available < count) {
        elapsedMs_ += 200;
    }
    return available;
}

}  // namespace kelvra::test
