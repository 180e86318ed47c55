#pragma once
// The texts of a scheduled scan's time: the "Time" choices and their hours,
// the day names, the next scan time as an OLE automation date ("NtS") and as
// display text ("NextScan").
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace schedule {

// The entries of "Scan at" in the order the combo box lists them.
inline constexpr std::array<const char*, 24> kTimeChoices = {
    "1 AM", "2 AM",  "3 AM",  "4 AM",  "5 AM", "6 AM",  "7 AM",  "8 AM",
    "9 AM", "10 AM", "11 AM", "12 PM", "1 PM", "2 PM",  "3 PM",  "4 PM",
    "5 PM", "6 PM",  "7 PM",  "8 PM",  "9 PM", "10 PM", "11 PM", "12 AM"};
// The entries of "Scan for Items".
inline constexpr std::array<const char*, 2> kPeriodChoices = {"Daily", "Weekly"};
inline constexpr const char* kDaily = "Daily";
inline constexpr const char* kWeekly = "Weekly";

// Indexed by LocalTime::dayOfWeek (0 = Sunday). A day's number is its index
// plus one: Sunday 1 to Saturday 7.
inline constexpr std::array<const char*, 7> kDayNames = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// The hour (0-23) of a "Time" text: the number before the last two
// characters, which are "AM" or "PM" (any case); "12 AM" is midnight and
// "12 PM" noon. Nothing for any other text.
std::optional<int> ParseScanHour(std::string_view timeText);

// The day's index (0 = Sunday) of a day name, ignoring case; nothing for
// anything else.
std::optional<int> DayIndex(std::string_view name);

// The weekday of a date, worked out from the date itself.
int WeekdayOf(const platform::LocalTime& date);

// A local time as an OLE automation date (days since 1899-12-30 and the
// fraction of the day) written with "%f", and read back to the nearest
// second. Reading refuses what is not such a number, times before
// 1899-12-30 and years past 9999.
std::string OleDateText(const platform::LocalTime& time);
std::optional<platform::LocalTime> ParseOleDate(std::string_view text);

// "%A, %B %d, %Y" (English weekday and month names), a blank, and the time
// of day as the user's locale writes it.
std::string ScanTimeText(platform::Clock& clock, const platform::LocalTime& time);

}  // namespace schedule
