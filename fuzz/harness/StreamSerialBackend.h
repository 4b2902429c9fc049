#pragma once

#include <mutex>
#include <set>
#include <string>

#include "fuzz/harness/ReplyStream.h"
#include "platform/serial/SerialPort.h"

namespace kelvra::fuzz {

// Serial devices for the station harness: two blocks on COM3 and COM4 whose ports read their
// replies from one ReplyStream, and on COM2 a device whose line settings cannot be applied.
// Opening is exclusive, as on a real system; a device whose port was closed opens again, so a
// block that went silent can be found anew with whatever the stream says next.
class StreamSerialBackend : public platform::SerialBackend {
public:
    explicit StreamSerialBackend(ReplyStream& replies) : replies_(replies) {}

    platform::OpenedPort open(const std::string& deviceName) override;
    // "FUZZ-COM<index + 1>".
    std::string deviceName(int index) override;

private:
    void closed(const std::string& deviceName);

    ReplyStream& replies_;
    std::mutex mutex_;
    std::set<std::string> open_;
};

}  // namespace kelvra::fuzz
