#include "fuzz/harness/StreamPort.h"

namespace kelvra::fuzz {

StreamPort::StreamPort(ReplyStream& replies, std::function<void()> closed)
    : replies_(replies), closed_(std::move(closed)) {}

StreamPort::~StreamPort() {
    if (closed_) {
        closed_();
    }
}

std::size_t StreamPort::write(const std::uint8_t* bytes, std::size_t count) {
    written_.insert(written_.end(), bytes, bytes + count);
    return count;
}

std::size_t StreamPort::read(std::uint8_t* bytes, std::size_t count) {
    return replies_.read(bytes, count);
}

std::size_t StreamPort::available() {
    return replies_.available();
}

}  // namespace kelvra::fuzz
