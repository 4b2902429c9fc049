#include "platform/console/StopRequests.h"

namespace kelvra::platform {

void StopRequests::catchWith(void (*onStop)()) {
    const std::lock_guard lock(mutex_);
    onStop_ = onStop;
}

void StopRequests::release() {
    {
        const std::lock_guard lock(mutex_);
        onStop_ = nullptr;
    }
    released_.notify_all();
}

bool StopRequests::request(bool programEnds) {
    std::unique_lock lock(mutex_);
    if (onStop_ == nullptr) {
        return false;
    }
    onStop_();
    if (programEnds) {
        released_.wait_for(lock, endingWait_, [this] { return onStop_ == nullptr; });
    }
    return true;
}

}  // namespace kelvra::platform
