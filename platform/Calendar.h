#pragma once
// Calendar arithmetic on the proleptic Gregorian calendar, free of any time
// zone: a LocalTime read as if it were UTC maps one to one onto seconds since
// 1970-01-01 00:00:00.
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

// Days since 1970-01-01 of a date (negative before it).
std::int64_t DaysFromCivil(int year, int month, int day);
// The date of a day number; the time fields are 0.
LocalTime CivilFromDays(std::int64_t days);
int DaysInMonth(int year, int month);

// The calendar time as seconds since 1970-01-01 00:00:00, and back (with its
// weekday).
std::int64_t CalendarSeconds(const LocalTime& time);
LocalTime CalendarTime(std::int64_t seconds);

// The same date `days` later (or earlier), keeping the time of day.
LocalTime AddDays(const LocalTime& time, int days);

// Orders by date and time of day; the weekday is not compared.
int CompareCalendar(const LocalTime& a, const LocalTime& b);
inline bool SameCalendarTime(const LocalTime& a, const LocalTime& b) {
    return CompareCalendar(a, b) == 0;
}

}  // namespace platform
