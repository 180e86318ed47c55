#pragma once
// Time as the logic needs it: the local calendar time for file names and
// schedules, its text in the user's locale, and the instants behind local
// times, so that a wait until a local time is right across daylight-saving
// changes.
#include <cstdint>
#include <string>

#include "platform/Calendar.h"

namespace platform {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime Now() = 0;
    // The date part and the time part of `time` as the user's locale writes
    // them (short date, long time). Without a locale: "7/4/2007" and
    // "9:05:30 AM", the way the default locale of Windows writes them.
    virtual std::string DateText(const LocalTime& time);
    virtual std::string TimeText(const LocalTime& time);

    // Now as seconds since 1970-01-01 00:00:00 UTC, and the local calendar
    // time of such an instant. The defaults know no time zone: local time is
    // UTC.
    virtual std::int64_t NowUtc();
    virtual LocalTime UtcToLocal(std::int64_t utcSeconds);

    // The instant at which the local clock shows `local`. A time shown twice
    // (when the clocks go back) gives its first instant; a time the clocks
    // skip gives the instant of the skip, when the clock shows the first time
    // after it.
    std::int64_t LocalToUtc(const LocalTime& local);
    // Real seconds from now until the clock shows `local`; negative once it
    // has passed.
    std::int64_t SecondsUntil(const LocalTime& local) { return LocalToUtc(local) - NowUtc(); }
};

}  // namespace platform
