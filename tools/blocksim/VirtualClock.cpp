#include "tools/blocksim/VirtualClock.h"

#include <chrono>

namespace kelvra::blocksim {

VirtualClock::VirtualClock(platform::LocalTime start) : setTime_(start) {}

platform::LocalTime VirtualClock::localTime() {
    using namespace std::chrono;
    std::lock_guard lock(mutex_);
    const year_month_day date{year{setTime_.year}, month{static_cast<unsigned>(setTime_.month)},
                              day{static_cast<unsigned>(setTime_.day)}};
    const auto instant =
        sys_days{date} + hours{setTime_.hour} + minutes{setTime_.minute} +
        seconds{setTime_.second} +
        duration_cast<seconds>(microseconds{static_cast<microseconds::rep>(nowUs_ - setAtUs_)});
    const auto midnight = floor<days>(instant);
    const year_month_day today{midnight};
    const hh_mm_ss clock{instant - midnight};
    return {static_cast<int>(today.year()),
            static_cast<int>(static_cast<unsigned>(today.month())),
            static_cast<int>(static_cast<unsigned>(today.day())),
            static_cast<int>(clock.hours().count()),
            static_cast<int>(clock.minutes().count()),
            static_cast<int>(clock.seconds().count())};
}

platform::LocalTime VirtualClock::atStartOfSecond() {
    {
        std::lock_guard lock(mutex_);
        const std::uint64_t intoSecond = (nowUs_ - setAtUs_) % 1000000;
        if (intoSecond != 0) {
            nowUs_ += 1000000 - intoSecond;
        }
    }
    return localTime();
}

void VirtualClock::setLocalTime(const platform::LocalTime& time) {
    std::lock_guard lock(mutex_);
    setTime_ = time;
    setAtUs_ = nowUs_;
}

std::uint64_t VirtualClock::nowMs() const {
    return nowUs() / 1000;
}

std::uint64_t VirtualClock::nowUs() const {
    std::lock_guard lock(mutex_);
    return nowUs_;
}

void VirtualClock::advance(std::uint64_t ms) {
    advanceUs(ms * 1000);
}

void VirtualClock::advanceUs(std::uint64_t us) {
    std::lock_guard lock(mutex_);
    nowUs_ += us;
}

}  // namespace kelvra::blocksim
