#include <windows.h>
// After windows.h, whose types it uses.
#include <timeapi.h>

#include "platform/clock/Clock.h"

namespace kelvra::platform {

namespace {

// Closer than this to the start of a second counts as at it.
constexpr WORD kAtStartMs = 2;
// The last stretch before a second begins is waited out awake: a sleep ends only on a
// scheduler tick, which may come late.
constexpr WORD kAwakeMs = 30;

LocalTime calendar(const SYSTEMTIME& now) {
    LocalTime time;
    time.year = now.wYear;
    time.month = now.wMonth;
    time.day = now.wDay;
    time.hour = now.wHour;
    time.minute = now.wMinute;
    time.second = now.wSecond;
    return time;
}

class Win32Clock final : public Clock {
public:
    LocalTime localTime() override {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return calendar(now);
    }

    LocalTime atStartOfSecond() override {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        if (now.wMilliseconds < kAtStartMs) {
            return calendar(now);
        }
        // The local time advances on the timer's tick: at its default 15.6 ms the new second
        // would show that late.
        timeBeginPeriod(1);
        const WORD second = now.wSecond;
        if (now.wMilliseconds < 1000 - kAwakeMs) {
            Sleep(static_cast<DWORD>(1000 - kAwakeMs - now.wMilliseconds));
        }
        while (now.wSecond == second) {
            Sleep(0);
            GetLocalTime(&now);
        }
        timeEndPeriod(1);
        return calendar(now);
    }
};

}  // namespace

Clock& systemClock() {
    static Win32Clock clock;
    return clock;
}

}  // namespace kelvra::platform
