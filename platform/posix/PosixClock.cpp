#include <ctime>

#include "platform/clock/Clock.h"

namespace kelvra::platform {

namespace {

class PosixClock final : public Clock {
public:
    LocalTime localTime() override {
        const std::time_t now = std::time(nullptr);
        std::tm fields{};
        localtime_r(&now, &fields);
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
};

}  // namespace

Clock& systemClock() {
    static PosixClock clock;
    return clock;
}

}  // namespace kelvra::platform
