// The next-time arithmetic over named dates: periods, every class of chosen
// weekdays, month, year and leap-day ends, the whole-hour texts, and the
// real seconds to wait across daylight-saving changes.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/host/HostClock.h"
#include "platform/tests/support/TestSystem.h"
#include "schedule/ArmSchedule.h"
#include "schedule/NextScan.h"
#include "schedule/ScanTime.h"

namespace {

using platform::LocalTime;
using schedule::ScheduleSettings;

LocalTime At(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    return {year, month, day, hour, minute, second, 0};
}

std::string Text(const std::optional<LocalTime>& time) {
    if (!time)
        return "none";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", time->year, time->month,
                  time->day, time->hour, time->minute, time->second);
    return buffer;
}

ScheduleSettings Periodic(const char* period, const char* time) {
    ScheduleSettings s;
    s.scheduled = true;
    s.periodic = true;
    s.period = period;
    s.time = time;
    return s;
}

ScheduleSettings Days(const char* days, const char* time) {
    ScheduleSettings s;
    s.scheduled = true;
    s.weekly = true;
    s.weekDays = days;
    s.time = time;
    return s;
}

struct Case {
    const char* what;
    ScheduleSettings schedule;
    LocalTime now;
    const char* expected;
};

TEST(NextScanTime, FollowsTheTableOfCases) {
    const Case cases[] = {
        // Periods.
        {"daily, the hour ahead (Tue 2024-05-14)", Periodic("Daily", "3 PM"),
         At(2024, 5, 14, 14, 30), "2024-05-14 15:00:00"},
        {"daily, the hour passed", Periodic("Daily", "3 PM"), At(2024, 5, 14, 15, 10),
         "2024-05-15 15:00:00"},
        {"daily at hh:00:00 itself", Periodic("Daily", "3 PM"), At(2024, 5, 14, 15, 0, 0),
         "2024-05-14 15:00:00"},
        {"daily a second after", Periodic("Daily", "3 PM"), At(2024, 5, 14, 15, 0, 1),
         "2024-05-15 15:00:00"},
        {"daily over the end of January", Periodic("Daily", "3 PM"), At(2024, 1, 31, 15, 10),
         "2024-02-01 15:00:00"},
        {"daily over 31 Dec", Periodic("Daily", "3 PM"), At(2023, 12, 31, 15, 10),
         "2024-01-01 15:00:00"},
        {"daily onto 29 Feb 2024", Periodic("Daily", "3 PM"), At(2024, 2, 28, 15, 10),
         "2024-02-29 15:00:00"},
        {"daily from 29 Feb 2024", Periodic("Daily", "3 PM"), At(2024, 2, 29, 15, 10),
         "2024-03-01 15:00:00"},
        {"daily over 28 Feb 2023", Periodic("Daily", "3 PM"), At(2023, 2, 28, 15, 10),
         "2023-03-01 15:00:00"},
        {"weekly, the hour ahead", Periodic("Weekly", "9 AM"), At(2024, 12, 28, 8, 59, 59),
         "2024-12-28 09:00:00"},
        {"weekly over the year end (Sat 2024-12-28)", Periodic("Weekly", "9 AM"),
         At(2024, 12, 28, 10), "2025-01-04 09:00:00"},
        {"weekly over a leap February (Mon 2024-02-26)", Periodic("Weekly", "9 AM"),
         At(2024, 2, 26, 10), "2024-03-04 09:00:00"},
        {"period text in another case", Periodic("dAILY", "3 PM"), At(2024, 5, 14, 16),
         "2024-05-15 15:00:00"},
        // Whole-hour texts.
        {"12 AM is midnight", Periodic("Daily", "12 AM"), At(2024, 5, 14, 8),
         "2024-05-15 00:00:00"},
        {"12 AM at midnight itself", Periodic("Daily", "12 AM"), At(2024, 5, 14, 0),
         "2024-05-14 00:00:00"},
        {"12 PM is noon", Periodic("Daily", "12 PM"), At(2024, 5, 14, 8), "2024-05-14 12:00:00"},
        {"11 PM", Periodic("Daily", "11 PM"), At(2024, 5, 14, 22, 59), "2024-05-14 23:00:00"},
        // Days of the week; Fri 2024-03-15.
        {"Monday and Friday, Friday after the hour", Days("Friday,Monday", "9 AM"),
         At(2024, 3, 15, 10), "2024-03-18 09:00:00"},
        {"Monday and Friday, Friday before the hour", Days("Friday,Monday", "9 AM"),
         At(2024, 3, 15, 8, 59), "2024-03-15 09:00:00"},
        {"only today, the hour passed", Days("Friday", "9 AM"), At(2024, 3, 15, 9, 30),
         "2024-03-22 09:00:00"},
        {"only today at hh:00:00 itself", Days("Friday", "9 AM"), At(2024, 3, 15, 9, 0, 0),
         "2024-03-22 09:00:00"},
        {"only other days, the nearest wins", Days("Sunday,Wednesday", "9 AM"), At(2024, 3, 15, 6),
         "2024-03-17 09:00:00"},
        {"every day, the hour passed",
         Days("Friday,Monday,Saturday,Sunday,Thursday,Tuesday,Wednesday", "9 AM"),
         At(2024, 3, 15, 10), "2024-03-16 09:00:00"},
        {"Wednesday from Tue 31 Dec 2024", Days("Wednesday", "9 AM"), At(2024, 12, 31, 10),
         "2025-01-01 09:00:00"},
        {"Sunday from Sat 2024-03-30 over the month end", Days("Sunday", "9 AM"),
         At(2024, 3, 30, 10), "2024-03-31 09:00:00"},
        {"Thursday 29 Feb 2024 from Monday", Days("Thursday", "9 AM"), At(2024, 2, 26, 10),
         "2024-02-29 09:00:00"},
        {"names in any case, unknown names left out", Days("friday, MONDAY ,Funday", "9 AM"),
         At(2024, 3, 16, 10), "2024-03-18 09:00:00"},
        // No valid schedule.
        {"no day chosen", Days("0", "9 AM"), At(2024, 3, 15, 10), "none"},
        {"the default Time", Periodic("Daily", "0"), At(2024, 3, 15, 10), "none"},
        {"an hour past 12", Periodic("Daily", "13 PM"), At(2024, 3, 15, 10), "none"},
        {"an unknown period", Periodic("Monthly", "9 AM"), At(2024, 3, 15, 10), "none"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text(schedule::NextScanTime(c.schedule, c.now)), c.expected) << c.what;

    ScheduleSettings neither = Periodic("Daily", "9 AM");
    neither.periodic = false;
    EXPECT_EQ(Text(schedule::NextScanTime(neither, At(2024, 3, 15, 10))), "none");
    ScheduleSettings off = Periodic("Daily", "9 AM");
    off.scheduled = false;
    EXPECT_EQ(Text(schedule::NextScanTime(off, At(2024, 3, 15, 10))), "none");
    // "Periodic" wins when both flags are set.
    ScheduleSettings both = Periodic("Weekly", "9 AM");
    both.weekly = true;
    both.weekDays = "Saturday";
    EXPECT_EQ(Text(schedule::NextScanTime(both, At(2024, 3, 15, 10))), "2024-03-22 09:00:00");
}

TEST(ScanTime, ParsesExactlyTheHourTexts) {
    for (std::size_t i = 0; i < schedule::kTimeChoices.size(); ++i) {
        // "1 AM" ... "11 PM" are the hours 1 to 23, "12 AM" is 0.
        EXPECT_EQ(schedule::ParseScanHour(schedule::kTimeChoices[i]),
                  static_cast<int>((i + 1) % 24))
            << schedule::kTimeChoices[i];
    }
    EXPECT_EQ(schedule::ParseScanHour("3 pm"), 15);
    for (const char* bad :
         {"", "0", "AM", " AM", "0 AM", "13 AM", "3 XM", "3PM PM", "-1 PM", "3:30 PM"})
        EXPECT_FALSE(schedule::ParseScanHour(bad)) << bad;
}

TEST(ScanTime, WritesAndReadsTheOleDate) {
    // Sat 2024-03-09 is day 45360 of the OLE calendar.
    EXPECT_EQ(schedule::OleDateText(At(2024, 3, 9, 15)), "45360.625000");
    EXPECT_EQ(schedule::OleDateText(At(2024, 3, 9, 1)), "45360.041667");
    // Six decimals lose a fraction of a second; it is read back to the
    // whole second.
    EXPECT_EQ(Text(schedule::ParseOleDate("45360.041667")), "2024-03-09 01:00:00");
    EXPECT_EQ(Text(schedule::ParseOleDate("45360.999999")), "2024-03-10 00:00:00");
    EXPECT_EQ(Text(schedule::ParseOleDate("0")), "1899-12-30 00:00:00");
    for (const char* bad : {"", "abc", "45360.5x", "-1", "nan", "inf", "1e300", "2958466"})
        EXPECT_FALSE(schedule::ParseOleDate(bad)) << bad;
}

TEST(ScanTime, DisplayTextNamesWeekdayMonthAndTheLocaleTime) {
    platform::host::HostClock clock;
    EXPECT_EQ(schedule::ScanTimeText(clock, At(2024, 3, 9, 15)),
              "Saturday, March 09, 2024 3:00:00 PM");
    EXPECT_EQ(schedule::ScanTimeText(clock, At(2025, 1, 1, 0)),
              "Wednesday, January 01, 2025 12:00:00 AM");
}

// Central European time: +1 hour, +2 from the last Sunday of March 02:00
// to the last Sunday of October 03:00. In 2024: 31 March and 27 October.
platform::host::TimeZoneRule CentralEurope() {
    platform::host::TimeZoneRule zone;
    zone.standardOffsetMinutes = 60;
    zone.daylightMinutes = 60;
    zone.toDaylight = {3, 5, 0, 2};
    zone.toStandard = {10, 5, 0, 3};
    return zone;
}

class DaylightSavingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machine_.clock().SetTimeZone(CentralEurope());
        store_.WriteDefaultSettings();
    }

    // Schedules "Daily" at `time` as of `now`; the plan for the wait.
    schedule::ArmPlan Schedule(const char* time, const LocalTime& now) {
        machine_.clock().SetFixed(now);
        store_.SetSetting("Schedule Scan", "1");
        store_.SetSetting("Periodic", "1");
        store_.SetSetting("Period", "Daily");
        store_.SetSetting("Time", time);
        store_.SetSetting("NtS", "0");
        return schedule::PlanArmSchedule(store_, machine_.clock());
    }

    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
};

TEST_F(DaylightSavingTest, WaitsTheRealTimeUntilTheLocalHour) {
    // Spring: from Saturday 20:00 to Sunday 09:00 the clocks show 13 hours,
    // 12 of which pass.
    schedule::ArmPlan plan = Schedule("9 AM", At(2024, 3, 30, 20));
    EXPECT_EQ(Text(plan.when), "2024-03-31 09:00:00");
    EXPECT_EQ(plan.delaySeconds, 12 * 3600);
    // Autumn: 13 hours shown, 14 pass.
    plan = Schedule("9 AM", At(2024, 10, 26, 20));
    EXPECT_EQ(Text(plan.when), "2024-10-27 09:00:00");
    EXPECT_EQ(plan.delaySeconds, 14 * 3600);
    // An ordinary night: what the clocks show.
    plan = Schedule("9 AM", At(2024, 5, 14, 20));
    EXPECT_EQ(plan.delaySeconds, 13 * 3600);
}

TEST_F(DaylightSavingTest, TheSkippedAndTheRepeatedHourScanOnce) {
    // 02:00 does not exist on 31 March: the scan is due when the clocks
    // jump from 02:00 to 03:00, three real hours after 23:00.
    schedule::ArmPlan plan = Schedule("2 AM", At(2024, 3, 30, 23));
    EXPECT_EQ(Text(plan.when), "2024-03-31 02:00:00");
    EXPECT_EQ(plan.delaySeconds, 3 * 3600);
    // Re-armed after that scan, at 03:05 summer time: 02:00 the next day,
    // 22 hours and 55 minutes later.
    machine_.clock().SetFixed(At(2024, 3, 31, 3, 5));
    plan = schedule::PlanArmSchedule(store_, machine_.clock());
    EXPECT_EQ(Text(plan.when), "2024-04-01 02:00:00");
    EXPECT_EQ(plan.delaySeconds, 22 * 3600 + 55 * 60);

    // 02:00 comes twice on 27 October: the first one, three hours after
    // 23:00 summer time.
    plan = Schedule("2 AM", At(2024, 10, 26, 23));
    EXPECT_EQ(Text(plan.when), "2024-10-27 02:00:00");
    EXPECT_EQ(plan.delaySeconds, 3 * 3600);
    // After that scan the repeated 02:00 is not scanned again: 02:10 is past
    // the hour, so the next is 02:00 on the 28th, 24 hours and 50 minutes on.
    machine_.clock().SetFixed(At(2024, 10, 27, 2, 10));
    plan = schedule::PlanArmSchedule(store_, machine_.clock());
    EXPECT_EQ(Text(plan.when), "2024-10-28 02:00:00");
    EXPECT_EQ(plan.delaySeconds, 24 * 3600 + 50 * 60);
}

}  // namespace
