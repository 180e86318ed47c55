// "Add a Schedule": what it shows from the settings, which controls it
// enables, and what OK refuses and writes.
#include <gtest/gtest.h>

#include "platform/tests/support/TestSystem.h"
#include "schedule/ScheduleForm.h"

namespace {

using schedule::ScheduleForm;
using Kind = schedule::ScheduleForm::Kind;

class ScheduleFormTest : public ::testing::Test {
  protected:
    void SetUp() override { store_.WriteDefaultSettings(); }
    std::string Get(const char* name) {
        std::string value = "<absent>";
        store_.GetSetting(name, &value);
        return value;
    }
    schedule::ScheduleSaved Save(const ScheduleForm& form) {
        // Fri 2024-03-15 10:00.
        return schedule::SaveScheduleForm(form, store_, machine_.clock(),
                                          {2024, 3, 15, 10, 0, 0, 5});
    }

    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
};

TEST_F(ScheduleFormTest, OpensWithTheStoredSchedule) {
    ScheduleForm form = schedule::LoadScheduleForm(store_);
    EXPECT_FALSE(form.scheduled);
    EXPECT_EQ(form.kind, Kind::kNone);

    store_.SetSetting("Schedule Scan", "1");
    store_.SetSetting("Weekly Scan", "1");
    store_.SetSetting("WeekDay", "friday,Monday,Noday");
    store_.SetSetting("Time", "9 am");
    form = schedule::LoadScheduleForm(store_);
    EXPECT_TRUE(form.scheduled);
    EXPECT_EQ(form.kind, Kind::kDayOfWeek);
    EXPECT_EQ(form.days, (std::array<bool, 7>{false, true, false, false, false, true, false}));
    EXPECT_EQ(form.time, "9 AM");

    // A periodic schedule shows its period; days are not read then.
    store_.SetSetting("Periodic", "1");
    store_.SetSetting("Period", "Weekly");
    store_.SetSetting("Time", "25 PM");
    form = schedule::LoadScheduleForm(store_);
    EXPECT_EQ(form.kind, Kind::kPeriodic);
    EXPECT_EQ(form.period, "Weekly");
    EXPECT_EQ(form.time, "");
    EXPECT_EQ(form.days, (std::array<bool, 7>{}));
}

TEST_F(ScheduleFormTest, EnablesTheControlsOfTheChosenKind) {
    ScheduleForm form;
    auto states = [&] {
        schedule::ScheduleControls c = schedule::ControlStates(form);
        return std::array<bool, 4>{c.kinds, c.days, c.period, c.time};
    };
    form.kind = Kind::kPeriodic;
    EXPECT_EQ(states(), (std::array<bool, 4>{false, false, false, false}));
    form.scheduled = true;
    EXPECT_EQ(states(), (std::array<bool, 4>{true, false, true, true}));
    form.kind = Kind::kDayOfWeek;
    EXPECT_EQ(states(), (std::array<bool, 4>{true, true, false, true}));
    form.kind = Kind::kNone;
    EXPECT_EQ(states(), (std::array<bool, 4>{true, false, false, true}));
}

TEST_F(ScheduleFormTest, WeekDaysAreWrittenInTheirStoredOrder) {
    std::array<bool, 7> days{};
    EXPECT_EQ(schedule::WeekDayText(days), "");
    days[1] = days[3] = true;  // Monday, Wednesday
    EXPECT_EQ(schedule::WeekDayText(days), "Monday,Wednesday");
    days.fill(true);
    EXPECT_EQ(schedule::WeekDayText(days),
              "Friday,Monday,Saturday,Sunday,Thursday,Tuesday,Wednesday");
}

TEST_F(ScheduleFormTest, OkRefusesIncompleteInputAndKeepsTheSettings) {
    ScheduleForm form;
    form.scheduled = true;
    form.kind = Kind::kPeriodic;
    schedule::ScheduleSaved saved = Save(form);
    EXPECT_FALSE(saved.close);
    EXPECT_EQ(saved.message, schedule::kChooseTime);
    EXPECT_TRUE(saved.focusTime);

    form.time = "9 AM";
    EXPECT_EQ(Save(form).message, schedule::kSelectPeriod);
    form.kind = Kind::kDayOfWeek;
    EXPECT_EQ(Save(form).message, schedule::kSelectWeekDay);
    form.kind = Kind::kNone;
    EXPECT_EQ(Save(form).message, schedule::kSelectKind);
    EXPECT_EQ(Get("Schedule Scan"), "0");
    EXPECT_EQ(Get("Time"), "0");
    EXPECT_EQ(Get("NtS"), "<absent>");
}

TEST_F(ScheduleFormTest, OkWritesTheScheduleAndItsNextScan) {
    ScheduleForm form;
    form.scheduled = true;
    form.kind = Kind::kDayOfWeek;
    form.days[1] = form.days[5] = true;  // Monday, Friday
    form.time = "9 AM";
    form.period = "Daily";  // not used by a day-of-week schedule
    schedule::ScheduleSaved saved = Save(form);
    EXPECT_TRUE(saved.close);
    EXPECT_EQ(saved.nextScan, "Monday, March 18, 2024 9:00:00 AM");
    EXPECT_EQ(Get("Schedule Scan"), "1");
    EXPECT_EQ(Get("Weekly Scan"), "1");
    EXPECT_EQ(Get("Periodic"), "0");
    EXPECT_EQ(Get("WeekDay"), "Friday,Monday");
    EXPECT_EQ(Get("Time"), "9 AM");
    EXPECT_EQ(Get("Period"), "0");
    EXPECT_EQ(Get("NtS"), "45369.375000");
    EXPECT_EQ(Get("NextScan"), saved.nextScan);

    form.kind = Kind::kPeriodic;
    saved = Save(form);
    EXPECT_EQ(saved.nextScan, "Saturday, March 16, 2024 9:00:00 AM");
    EXPECT_EQ(Get("Periodic"), "1");
    EXPECT_EQ(Get("Weekly Scan"), "0");
    EXPECT_EQ(Get("Period"), "Daily");
}

TEST_F(ScheduleFormTest, OkUntickedSwitchesAllSixValuesOff) {
    ScheduleForm form;
    form.scheduled = true;
    form.kind = Kind::kPeriodic;
    form.period = "Weekly";
    form.time = "3 PM";
    ASSERT_TRUE(Save(form).close);
    form.scheduled = false;
    schedule::ScheduleSaved saved = Save(form);
    EXPECT_TRUE(saved.close);
    EXPECT_EQ(saved.nextScan, "");
    for (const char* name :
         {"Schedule Scan", "Periodic", "Weekly Scan", "Period", "WeekDay", "Time"})
        EXPECT_EQ(Get(name), "0") << name;
}

}  // namespace
