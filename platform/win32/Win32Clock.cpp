#include <windows.h>

#include "platform/clock/Clock.h"

namespace kelvra::platform {

namespace {

class Win32Clock final : public Clock {
public:
    LocalTime localTime() override {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        LocalTime time;
        time.year = now.wYear;
        time.month = now.wMonth;
        time.day = now.wDay;
        time.hour = now.wHour;
        time.minute = now.wMinute;
        time.second = now.wSecond;
        return time;
    }
};

}  // namespace

Clock& systemClock() {
    static Win32Clock clock;
    return clock;
}

}  // namespace kelvra::platform
