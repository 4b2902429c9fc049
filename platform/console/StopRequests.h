#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kelvra::platform {

// Stop requests as a console delivers them: on a thread of their own, each answered before the
// system goes on. A request that the program outlives (Ctrl+C) only asks the job to stop. One
// after which the system ends the program as soon as it is answered (a closed console window,
// logoff, shutdown) is answered only once the job has stopped after its pair in hand, so that
// every file it completed is in the manifest, or after `endingWait`, kept within the few
// seconds the system allows.
class StopRequests {
public:
    explicit StopRequests(std::chrono::milliseconds endingWait) : endingWait_(endingWait) {}

    // Until release(), a request calls `onStop`, which only sets a flag.
    void catchWith(void (*onStop)());
    // The job has stopped or ended: requests are no longer caught, and one that waits returns.
    void release();
    // False when nothing catches requests: the system's default then applies.
    bool request(bool programEnds);

private:
    const std::chrono::milliseconds endingWait_;
    std::mutex mutex_;
    std::condition_variable released_;
    void (*onStop_)() = nullptr;
};

}  // namespace kelvra::platform
