#pragma once

#include <cstdint>
#include <mutex>

#include "platform/clock/Clock.h"

namespace kelvra::blocksim {

// Time for tests: nothing passes unless someone advances it, so waits cost no real time.
// The local time reads as the time last set plus the virtual time since then. It counts
// microseconds, which a line carrying a byte every 21.7 µs needs.
class VirtualClock : public platform::Clock {
public:
    explicit VirtualClock(platform::LocalTime start = {2018, 3, 5, 14, 7, 9});

    platform::LocalTime localTime() override;
    // Advances to the next whole second of the local time unless it is at one.
    platform::LocalTime atStartOfSecond() override;
    void setLocalTime(const platform::LocalTime& time);

    // Virtual milliseconds since the clock was made, whole ones passed.
    std::uint64_t nowMs() const;
    std::uint64_t nowUs() const;
    void advance(std::uint64_t ms);
    void advanceUs(std::uint64_t us);

private:
    mutable std::mutex mutex_;
    std::uint64_t nowUs_ = 0;
    platform::LocalTime setTime_;
    std::uint64_t setAtUs_ = 0;
};

}  // namespace kelvra::blocksim
