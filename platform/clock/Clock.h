#pragma once

namespace kelvra::platform {

// A calendar reading of the computer's local time.
struct LocalTime {
    int year = 2000;  // full year, e.g. 2018
    int month = 1;    // 1 to 12
    int day = 1;      // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime localTime() = 0;
    // Waits until the clock is at the start of a second, at once when it is there already, and
    // reads it then: a block set to whole seconds is right to the millisecond only when set at
    // the moment a second begins.
    virtual LocalTime atStartOfSecond() = 0;
};

// The computer's own clock.
Clock& systemClock();

}  // namespace kelvra::platform
