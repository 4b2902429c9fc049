#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// Framework internals: a queue of calls that workers hand to the window's thread, for backends
// without a native way to carry them.
namespace kelvra::platform {

class CallCarrier {
public:
    // `wake` is called on the worker after a call was queued, to nudge the window's thread.
    explicit CallCarrier(std::function<void()> wake = {}) : wake_(std::move(wake)) {}

    void open();
    // Refuses new calls and releases the workers waiting on queued ones, which are not run.
    void close();

    // On a worker: queues `call` and waits until the window's thread ran it (true), or until
    // the carrier was closed (false).
    bool carry(const std::function<void()>& call);

    // On the window's thread: runs the queued calls, in order; returns how many ran.
    int servePending();

    // On the window's thread: waits until a call is queued, `notify()` is called, or `limit`
    // passes. Returns whether a call is queued.
    bool waitForCall(std::chrono::milliseconds limit);
    void notify();

private:
    struct Request {
        const std::function<void()>* call;
        bool done = false;
        bool ran = false;
    };

    std::function<void()> wake_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Request*> queue_;
    bool open_ = false;
    unsigned notifications_ = 0;
};

}  // namespace kelvra::platform
