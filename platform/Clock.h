#pragma once
// Time as the logic needs it: the local calendar time for file names and
// schedules, and its text in the user's locale.
#include <cstdint>
#include <string>

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
    // The date part and the time part of `time` as the user's locale writes
    // them (short date, long time). Without a locale: "7/4/2007" and
    // "9:05:30 AM", the way the default locale of Windows writes them.
    virtual std::string DateText(const LocalTime& time);
    virtual std::string TimeText(const LocalTime& time);
};

}  // namespace platform
