#include "platform/dialog/backend/CallCarrier.h"

namespace kelvra::platform {

void CallCarrier::open() {
    std::lock_guard lock(mutex_);
    open_ = true;
}

void CallCarrier::close() {
    std::lock_guard lock(mutex_);
    open_ = false;
    for (Request* request : queue_) {
        request->done = true;
    }
    queue_.clear();
    changed_.notify_all();
}

bool CallCarrier::carry(const std::function<void()>& call) {
    Request request{&call};
    {
        std::unique_lock lock(mutex_);
        if (!open_) {
            return false;
        }
        queue_.push_back(&request);
        changed_.notify_all();
    }
    if (wake_) {
        wake_();
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return request.done; });
    return request.ran;
}

int CallCarrier::servePending() {
    int served = 0;
    std::unique_lock lock(mutex_);
    while (!queue_.empty()) {
        Request* request = queue_.front();
        queue_.pop_front();
        lock.unlock();
        (*request->call)();
        lock.lock();
        request->ran = true;
        request->done = true;
        changed_.notify_all();
        ++served;
    }
    return served;
}

bool CallCarrier::waitForCall(std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    unsigned seen = notifications_;
    changed_.wait_for(lock, limit, [&] { return !queue_.empty() || notifications_ != seen; });
    return !queue_.empty();
}

void CallCarrier::notify() {
    std::lock_guard lock(mutex_);
    ++notifications_;
    changed_.notify_all();
}

}  // namespace kelvra::platform
