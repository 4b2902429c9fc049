#pragma once

#include <atomic>

namespace kelvra::cli {

// How a command that waits passes its time (a beat each second, as the window's timer ticks),
// and the stop requests it has had: Ctrl+C, a termination request, a closed terminal.
class Pace {
public:
    virtual ~Pace() = default;

    // Returns a second later, or sooner once a stop has been asked.
    virtual void second() = 0;

    // Counted from a signal handler too: the count is a lock-free atomic.
    void requestStop() { stops_.fetch_add(1); }
    int stops() const { return stops_.load(); }

private:
    std::atomic<int> stops_{0};
};

// The computer's own time. Stop requests reach it while a CaughtStopRequests lives.
Pace& systemPace();

// Stop requests go to `pace` instead of ending the program, until destruction.
class CaughtStopRequests {
public:
    explicit CaughtStopRequests(Pace& pace);
    ~CaughtStopRequests();
    CaughtStopRequests(const CaughtStopRequests&) = delete;
    CaughtStopRequests& operator=(const CaughtStopRequests&) = delete;
};

}  // namespace kelvra::cli
