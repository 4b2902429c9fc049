#include "fuzz/harness/StreamSerialBackend.h"

#include "fuzz/harness/StreamPort.h"

namespace kelvra::fuzz {

namespace {

const std::string kBlockA = "FUZZ-COM3";
const std::string kBlockB = "FUZZ-COM4";
const std::string kUnconfigurable = "FUZZ-COM2";

}  // namespace

platform::OpenedPort StreamSerialBackend::open(const std::string& deviceName) {
    platform::OpenedPort opened;
    const bool block = deviceName == kBlockA || deviceName == kBlockB;
    if (!block && deviceName != kUnconfigurable) {
        return opened;
    }
    std::lock_guard lock(mutex_);
    if (!open_.insert(deviceName).second) {
        return opened;
    }
    opened.status = block ? platform::OpenStatus::Ready : platform::OpenStatus::NotConfigurable;
    opened.port =
        std::make_unique<StreamPort>(replies_, [this, deviceName] { closed(deviceName); });
    return opened;
}

std::string StreamSerialBackend::deviceName(int index) {
    return "FUZZ-COM" + std::to_string(index + 1);
}

void StreamSerialBackend::closed(const std::string& deviceName) {
    std::lock_guard lock(mutex_);
    open_.erase(deviceName);
}

}  // namespace kelvra::fuzz
