#pragma once
#include <optional>

#include "platform/Clock.h"

namespace platform::host {

// A time zone given by its rules, the way Windows describes one: the offset
// of standard time, how much daylight saving time adds, and the two yearly
// changes, each on a weekday of a month at an hour of the local time in force
// before it.
struct TimeZoneRule {
    struct Change {
        int month = 0;      // 1-12
        int week = 0;       // 1-4, or 5 for the last such weekday of the month
        int dayOfWeek = 0;  // 0 = Sunday
        int hour = 0;
    };
    int standardOffsetMinutes = 0;  // east of UTC: 60 for Central Europe, -300 for US Eastern
    int daylightMinutes = 0;        // 0: no daylight saving time
    Change toDaylight;
    Change toStandard;
};

// The host's local time, or a fixed time a test sets, in the host's time
// zone or one a test chooses.
class HostClock : public Clock {
  public:
    LocalTime Now() override;
    std::int64_t NowUtc() override;
    LocalTime UtcToLocal(std::int64_t utcSeconds) override;

    // Now() answers `time` as given; NowUtc() the instant the zone gives it.
    void SetFixed(const LocalTime& time) { fixed_ = time; }
    void SetTimeZone(const TimeZoneRule& zone) { zone_ = zone; }

  private:
    std::optional<LocalTime> fixed_;
    std::optional<TimeZoneRule> zone_;
};

}  // namespace platform::host
