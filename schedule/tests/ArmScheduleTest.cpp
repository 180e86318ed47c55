// Arming at start-up and after every scan: what is kept, what is computed
// again and written, and when nothing may be armed.
#include <gtest/gtest.h>

#include "platform/tests/support/TestSystem.h"
#include "schedule/ArmSchedule.h"
#include "schedule/ScanTime.h"

namespace {

using Action = schedule::ArmPlan::Action;

class ArmScheduleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store_.WriteDefaultSettings();
        // Tue 2024-05-14 14:30.
        Now({2024, 5, 14, 14, 30, 0, 2});
    }
    void Now(const platform::LocalTime& now) { machine_.clock().SetFixed(now); }
    void Daily(const char* time) {
        store_.SetSetting("Schedule Scan", "1");
        store_.SetSetting("Periodic", "1");
        store_.SetSetting("Period", "Daily");
        store_.SetSetting("Time", time);
    }
    std::string Get(const char* name) {
        std::string value = "<absent>";
        store_.GetSetting(name, &value);
        return value;
    }
    schedule::ArmPlan Plan() { return schedule::PlanArmSchedule(store_, machine_.clock()); }

    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
};

TEST_F(ArmScheduleTest, NothingIsArmedWithoutASchedule) {
    store_.SetSetting("NtS", "45426.625000");
    EXPECT_EQ(Plan().action, Action::kCancel);  // "Schedule Scan" is "0" by default
    store_.SetSetting("Schedule Scan", "1");
    store_.SetSetting("NtS", "");
    EXPECT_EQ(Plan().action, Action::kIncorrect);
    machine_.registry().DeleteKey(platform::kHkeyCurrentUser, "Software\\Brindlex5");
    EXPECT_EQ(Plan().action, Action::kCancel);
}

TEST_F(ArmScheduleTest, AStoredTimeAheadIsKeptAsItIs) {
    Daily("3 PM");
    store_.SetSetting("NtS", "45426.625000");  // today 15:00
    store_.SetSetting("NextScan", "as written");
    schedule::ArmPlan plan = Plan();
    ASSERT_EQ(plan.action, Action::kArm);
    EXPECT_EQ(plan.delaySeconds, 30 * 60);
    EXPECT_EQ(plan.text, "Tuesday, May 14, 2024 3:00:00 PM");
    EXPECT_EQ(Get("NextScan"), "as written");
}

TEST_F(ArmScheduleTest, APassedOrUnreadableTimeIsReplacedAndNotMadeUp) {
    Daily("3 PM");
    // Stored last week; the program was not running since.
    for (const char* stored : {"45419.625000", "tomorrow", "0"}) {
        store_.SetSetting("NtS", stored);
        schedule::ArmPlan plan = Plan();
        ASSERT_EQ(plan.action, Action::kArm) << stored;
        EXPECT_EQ(plan.delaySeconds, 30 * 60) << stored;
        EXPECT_EQ(Get("NtS"), "45426.625000") << stored;
        EXPECT_EQ(Get("NextScan"), "Tuesday, May 14, 2024 3:00:00 PM") << stored;
    }
}

TEST_F(ArmScheduleTest, TheScanOfTheVerySecondIsNotStartedAgain) {
    Daily("3 PM");
    store_.SetSetting("NtS", "45426.625000");
    // The timer fired at 15:00:00 and the scan ended within that second.
    Now({2024, 5, 14, 15, 0, 0, 2});
    schedule::ArmPlan plan = Plan();
    ASSERT_EQ(plan.action, Action::kArm);
    EXPECT_EQ(schedule::OleDateText(plan.when), "45427.625000");
    EXPECT_EQ(plan.delaySeconds, 24 * 3600);
}

TEST_F(ArmScheduleTest, AScheduleThatNamesNoTimeIsIncorrect) {
    store_.SetSetting("Schedule Scan", "1");
    store_.SetSetting("Weekly Scan", "1");
    store_.SetSetting("WeekDay", "Someday");
    store_.SetSetting("Time", "9 AM");
    store_.SetSetting("NtS", "45419.625000");
    EXPECT_EQ(Plan().action, Action::kIncorrect);
    EXPECT_EQ(Get("NtS"), "45419.625000");
}

}  // namespace
