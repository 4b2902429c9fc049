#include <cerrno>
#include <ctime>

#include "platform/clock/Clock.h"

namespace kelvra::platform {

namespace {

// Closer than this to the start of a second counts as at it.
constexpr long kAtStartNs = 2'000'000;

LocalTime calendar(std::time_t seconds) {
    std::tm fields{};
    localtime_r(&seconds, &fields);
    LocalTime time;
    time.year = fields.tm_year + 1900;
    time.month = fields.tm_mon + 1;
    time.day = fields.tm_mday;
    time.hour = fields.tm_hour;
    time.minute = fields.tm_min;
    // A leap second reads as 60; the block's clock knows 0 to 59 only.
    time.second = fields.tm_sec > 59 ? 59 : fields.tm_sec;
    return time;
}

class PosixClock final : public Clock {
public:
    LocalTime localTime() override { return calendar(std::time(nullptr)); }

    LocalTime atStartOfSecond() override {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        if (now.tv_nsec < kAtStartNs) {
            return calendar(now.tv_sec);
        }
        // An absolute wake-up: a signal that interrupts the sleep does not move the moment.
        const timespec next{now.tv_sec + 1, 0};
        while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
        return calendar(next.tv_sec);
    }
};

}  // namespace

Clock& systemClock() {
    static PosixClock clock;
    return clock;
}

}  // namespace kelvra::platform
