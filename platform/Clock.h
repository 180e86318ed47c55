#pragma once
// Time as the logic needs it: the local calendar time for file names and
// schedules.
#include <cstdint>

namespace platform {

struct LocalTime {
    int year = 0;
    int month = 0;  // 1-12
    int day = 0;    // 1-31
    int hour = 0;   // 0-23
    int minute = 0;
    int second = 0;
    int dayOfWeek = 0;  // 0 = Sunday
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime Now() = 0;
};

}  // namespace platform
