// Calendar arithmetic and the instants behind local times, over a time zone
// of the north and one of the south, whose summer spans the new year.
#include <gtest/gtest.h>

#include "platform/Calendar.h"
#include "platform/host/HostClock.h"

namespace {

using platform::LocalTime;

LocalTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    return {year, month, day, hour, minute, second, 0};
}

TEST(Calendar, CountsDaysWeekdaysAndLeapYears) {
    EXPECT_EQ(platform::DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(platform::DaysFromCivil(1969, 12, 31), -1);
    EXPECT_EQ(platform::DaysFromCivil(2000, 3, 1), 11017);
    EXPECT_EQ(platform::DaysFromCivil(1899, 12, 30), -25569);
    for (std::int64_t days : {-800000LL, -25569LL, -1LL, 0LL, 59LL, 11016LL, 2932896LL}) {
        LocalTime date = platform::CivilFromDays(days);
        EXPECT_EQ(platform::DaysFromCivil(date.year, date.month, date.day), days);
    }
    // 1 January 2000 was a Saturday, 29 February 2024 a Thursday, 30 December
    // 1899 a Saturday.
    EXPECT_EQ(platform::CivilFromDays(platform::DaysFromCivil(2000, 1, 1)).dayOfWeek, 6);
    EXPECT_EQ(platform::CivilFromDays(platform::DaysFromCivil(2024, 2, 29)).dayOfWeek, 4);
    EXPECT_EQ(platform::CivilFromDays(-25569).dayOfWeek, 6);
    EXPECT_EQ(platform::DaysInMonth(2024, 2), 29);
    EXPECT_EQ(platform::DaysInMonth(1900, 2), 28);
    EXPECT_EQ(platform::DaysInMonth(2000, 2), 29);
    EXPECT_EQ(platform::DaysInMonth(2023, 2), 28);

    LocalTime moved = platform::AddDays(At(2024, 12, 31, 15, 4, 5), 1);
    EXPECT_TRUE(platform::SameCalendarTime(moved, At(2025, 1, 1, 15, 4, 5)));
    EXPECT_EQ(moved.dayOfWeek, 3);
    EXPECT_TRUE(platform::SameCalendarTime(platform::AddDays(At(2024, 3, 1), -1), At(2024, 2, 29)));
    EXPECT_TRUE(
        platform::SameCalendarTime(platform::CalendarTime(-1), At(1969, 12, 31, 23, 59, 59)));
}

// US Eastern: -5 hours; -4 from the second Sunday of March 02:00 to the
// first Sunday of November 02:00 (10 March and 3 November 2024).
platform::host::TimeZoneRule UsEastern() {
    return {-300, 60, {3, 2, 0, 2}, {11, 1, 0, 2}};
}
// Eastern Australia: +10 hours; +11 from the first Sunday of October 02:00
// to the first Sunday of April 03:00 (7 April and 6 October 2024).
platform::host::TimeZoneRule EasternAustralia() {
    return {600, 60, {10, 1, 0, 2}, {4, 1, 0, 3}};
}

std::int64_t Utc(int year, int month, int day, int hour, int minute = 0) {
    return platform::CalendarSeconds(At(year, month, day, hour, minute));
}

TEST(HostClockZone, LocalTimesMapToTheirInstants) {
    platform::host::HostClock clock;
    clock.SetTimeZone(UsEastern());
    // Winter and summer.
    EXPECT_EQ(clock.LocalToUtc(At(2024, 1, 15, 9)), Utc(2024, 1, 15, 14));
    EXPECT_EQ(clock.LocalToUtc(At(2024, 7, 4, 9)), Utc(2024, 7, 4, 13));
    // 02:30 on 10 March does not exist: the jump at 07:00 UTC, which the
    // clock shows as 03:00.
    EXPECT_EQ(clock.LocalToUtc(At(2024, 3, 10, 2, 30)), Utc(2024, 3, 10, 7));
    EXPECT_TRUE(
        platform::SameCalendarTime(clock.UtcToLocal(Utc(2024, 3, 10, 7)), At(2024, 3, 10, 3)));
    // 01:30 on 3 November is shown twice: first at 05:30 UTC, then 06:30.
    EXPECT_EQ(clock.LocalToUtc(At(2024, 11, 3, 1, 30)), Utc(2024, 11, 3, 5, 30));
    EXPECT_TRUE(platform::SameCalendarTime(clock.UtcToLocal(Utc(2024, 11, 3, 6, 30)),
                                           At(2024, 11, 3, 1, 30)));

    clock.SetTimeZone(EasternAustralia());
    // Summer over the new year: +11.
    EXPECT_EQ(clock.LocalToUtc(At(2025, 1, 1, 0)), Utc(2024, 12, 31, 13));
    EXPECT_EQ(clock.LocalToUtc(At(2024, 6, 1, 12)), Utc(2024, 6, 1, 2));
    // 02:00 to 03:00 on 6 October is skipped; 02:00 to 03:00 on 7 April
    // repeats.
    EXPECT_EQ(clock.LocalToUtc(At(2024, 10, 6, 2, 15)), Utc(2024, 10, 5, 16));
    EXPECT_EQ(clock.LocalToUtc(At(2024, 4, 7, 2, 15)), Utc(2024, 4, 6, 15, 15));

    // A fixed local time is now; a second of waiting is a second.
    clock.SetFixed(At(2024, 10, 6, 1, 59, 59));
    EXPECT_EQ(clock.SecondsUntil(At(2024, 10, 6, 3)), 1);
    EXPECT_EQ(clock.SecondsUntil(At(2024, 10, 6, 1)), -3599);
}

}  // namespace
