#include "platform/host/HostClock.h"

#include <ctime>

namespace platform::host {

namespace {

// The calendar time of a rule's change in `year`, in the local time in force
// before it.
LocalTime ChangeTime(int year, const TimeZoneRule::Change& change) {
    LocalTime time;
    const int first = CivilFromDays(DaysFromCivil(year, change.month, 1)).dayOfWeek;
    int day = 1 + (change.dayOfWeek - first + 7) % 7 + 7 * (change.week - 1);
    while (day > DaysInMonth(year, change.month))
        day -= 7;
    time.year = year;
    time.month = change.month;
    time.day = day;
    time.hour = change.hour;
    return time;
}

LocalTime RuleToLocal(const TimeZoneRule& zone, std::int64_t utc) {
    const std::int64_t standard = zone.standardOffsetMinutes * 60;
    if (zone.daylightMinutes == 0)
        return CalendarTime(utc + standard);
    const std::int64_t daylight = standard + zone.daylightMinutes * 60;
    const int year = CalendarTime(utc + standard).year;
    const std::int64_t start = CalendarSeconds(ChangeTime(year, zone.toDaylight)) - standard;
    const std::int64_t end = CalendarSeconds(ChangeTime(year, zone.toStandard)) - daylight;
    // South of the equator daylight saving time spans the turn of the year.
    const bool inDaylight = start < end ? (utc >= start && utc < end) : (utc >= start || utc < end);
    return CalendarTime(utc + (inDaylight ? daylight : standard));
}

}  // namespace

LocalTime HostClock::Now() {
    if (fixed_)
        return *fixed_;
    return UtcToLocal(NowUtc());
}

std::int64_t HostClock::NowUtc() {
    if (fixed_)
        return LocalToUtc(*fixed_);
    return static_cast<std::int64_t>(std::time(nullptr));
}

LocalTime HostClock::UtcToLocal(std::int64_t utcSeconds) {
    if (zone_)
        return RuleToLocal(*zone_, utcSeconds);
    if (!fixed_) {
        const auto instant = static_cast<std::time_t>(utcSeconds);
        std::tm parts{};
        if (localtime_r(&instant, &parts) != nullptr) {
            return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                    parts.tm_min,         parts.tm_sec,     parts.tm_wday};
        }
    }
    // A fixed time without a chosen zone is taken as UTC, as tests expect.
    return Clock::UtcToLocal(utcSeconds);
}

}  // namespace platform::host
