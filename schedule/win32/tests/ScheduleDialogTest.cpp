// "Add a Schedule" and the schedule waiter, driven in-process.
#include <gtest/gtest.h>

#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "schedule/ScanTime.h"
#include "schedule/ScheduleForm.h"
#include "schedule/win32/ScheduleDialog.h"
#include "schedule/win32/ScheduleIds.h"
#include "schedule/win32/ScheduleWaiter.h"
#include "settings/Messages.h"
#include "settings/SettingsStore.h"

namespace {

using namespace dialogtest;

constexpr int kDays[] = {IDC_BX_SCHED_SUNDAY,    IDC_BX_SCHED_MONDAY,   IDC_BX_SCHED_TUESDAY,
                         IDC_BX_SCHED_WEDNESDAY, IDC_BX_SCHED_THURSDAY, IDC_BX_SCHED_FRIDAY,
                         IDC_BX_SCHED_SATURDAY};

std::wstring ComboText(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    const auto index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return L"<none>";
    wchar_t text[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    return text;
}

void Choose(HWND dialog, int id, const wchar_t* text) {
    HWND combo = GetDlgItem(dialog, id);
    const auto index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(text));
    ASSERT_NE(index, CB_ERR) << text;
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool Enabled(HWND dialog, int id) {
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

class ScheduleDialogTest : public ::testing::Test {
  protected:
    void Open(schedule::CScheduleDialog& dialog) {
        dialog.SetPrompts(prompts);
        ASSERT_TRUE(dialog.Create());
        ShowWindow(dialog.hwnd(), SW_SHOW);
    }
    void Set(const char* name, const char* value) {
        settings::SettingsStore(machine.system()).SetSetting(name, value);
    }

    TestMachine machine;
    ScriptedPrompts prompts;
};

TEST_F(ScheduleDialogTest, OpensWithTheStoredDaysAndEnablesTheirControls) {
    Set("Schedule Scan", "1");
    Set("Weekly Scan", "1");
    Set("WeekDay", "Friday,Monday");
    Set("Time", "9 AM");
    schedule::CScheduleDialog dialog(machine.system(), nullptr);
    Open(dialog);
    HWND window = dialog.hwnd();
    EXPECT_TRUE(dialog.IsChecked(IDC_BX_SCHED_ENABLED));
    EXPECT_TRUE(dialog.IsChecked(IDC_BX_SCHED_DAY_OF_WEEK));
    EXPECT_FALSE(dialog.IsChecked(IDC_BX_SCHED_PERIODIC));
    for (int day = 0; day < 7; ++day) {
        EXPECT_EQ(dialog.IsChecked(kDays[day]), day == 1 || day == 5) << day;
        EXPECT_TRUE(Enabled(window, kDays[day])) << day;
    }
    EXPECT_EQ(ComboText(window, IDC_BX_SCHED_TIME), L"9 AM");
    EXPECT_EQ(ComboText(window, IDC_BX_SCHED_PERIOD), L"<none>");
    EXPECT_FALSE(Enabled(window, IDC_BX_SCHED_PERIOD));
    // The combo lists, in order.
    EXPECT_EQ(SendDlgItemMessageW(window, IDC_BX_SCHED_TIME, CB_GETCOUNT, 0, 0), 24);
    EXPECT_EQ(SendDlgItemMessageW(window, IDC_BX_SCHED_PERIOD, CB_GETCOUNT, 0, 0), 2);
    Screenshot(window, "schedule-dialog");

    // Periodic enables the period and takes the days away; unticking
    // "Schedule a Scan" takes everything away.
    Click(window, IDC_BX_SCHED_PERIODIC);
    EXPECT_TRUE(Enabled(window, IDC_BX_SCHED_PERIOD));
    EXPECT_FALSE(Enabled(window, IDC_BX_SCHED_MONDAY));
    Click(window, IDC_BX_SCHED_ENABLED);
    for (int id : {IDC_BX_SCHED_DAY_OF_WEEK, IDC_BX_SCHED_PERIODIC, IDC_BX_SCHED_PERIOD,
                   IDC_BX_SCHED_TIME, IDC_BX_SCHED_MONDAY})
        EXPECT_FALSE(Enabled(window, id)) << id;
    Click(window, IDCANCEL);
    EXPECT_EQ(machine.Setting("WeekDay"), "Friday,Monday");
}

TEST_F(ScheduleDialogTest, OkAsksForWhatIsMissingAndStaysOpen) {
    schedule::CScheduleDialog dialog(machine.system(), nullptr);
    Open(dialog);
    HWND window = dialog.hwnd();
    EXPECT_FALSE(Enabled(window, IDC_BX_SCHED_TIME));
    Click(window, IDC_BX_SCHED_ENABLED);
    EXPECT_TRUE(Enabled(window, IDC_BX_SCHED_TIME));
    Click(window, IDOK);
    EXPECT_TRUE(prompts.Saw(schedule::kChooseTime));
    EXPECT_EQ(GetFocus(), GetDlgItem(window, IDC_BX_SCHED_TIME));
    Choose(window, IDC_BX_SCHED_TIME, L"3 PM");
    Click(window, IDOK);
    EXPECT_TRUE(prompts.Saw(schedule::kSelectKind));
    Click(window, IDC_BX_SCHED_DAY_OF_WEEK);
    Click(window, IDOK);
    EXPECT_TRUE(prompts.Saw(schedule::kSelectWeekDay));
    Click(window, IDC_BX_SCHED_PERIODIC);
    Click(window, IDOK);
    EXPECT_TRUE(prompts.Saw(schedule::kSelectPeriod));
    ASSERT_NE(dialog.hwnd(), nullptr);
    EXPECT_EQ(machine.Setting("Schedule Scan"), "0");

    Choose(window, IDC_BX_SCHED_PERIOD, L"Weekly");
    Click(window, IDOK);
    EXPECT_EQ(dialog.hwnd(), nullptr);
    EXPECT_EQ(dialog.result(), IDOK);
    EXPECT_EQ(machine.Setting("Schedule Scan"), "1");
    EXPECT_EQ(machine.Setting("Periodic"), "1");
    EXPECT_EQ(machine.Setting("Period"), "Weekly");
    EXPECT_EQ(machine.Setting("Time"), "3 PM");
    std::optional<platform::LocalTime> next = schedule::ParseOleDate(machine.Setting("NtS"));
    ASSERT_TRUE(next);
    EXPECT_EQ(next->hour, 15);
    EXPECT_EQ(dialog.nextScan, schedule::ScanTimeText(machine.system().clock, *next));
    EXPECT_EQ(machine.Setting("NextScan"), dialog.nextScan);
}

// A window that counts WM_START_SCHEDULED_SCAN.
class Target {
  public:
    Target() {
        WNDCLASSW type{};
        type.lpfnWndProc = &Target::Proc;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"BxScheduleTarget";
        RegisterClassW(&type);
        window_ = CreateWindowW(L"BxScheduleTarget", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                type.hInstance, nullptr);
        received_ = 0;
    }
    ~Target() { DestroyWindow(window_); }
    HWND hwnd() const { return window_; }
    int received() const { return received_; }

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == app::WM_START_SCHEDULED_SCAN) {
            ++received_;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static inline int received_ = 0;
    HWND window_;
};

TEST(ScheduleWaiter, FiresOnceAfterItsDelay) {
    Target target;
    schedule::CScheduleWaiter waiter;
    ASSERT_EQ(waiter.Start(target.hwnd(), 1), schedule::CScheduleWaiter::Result::kArmed);
    EXPECT_TRUE(waiter.armed());
    EXPECT_TRUE(PumpUntil([&] { return target.received() > 0; }, 30000));
    PumpUntil([] { return false; }, 1500);
    EXPECT_EQ(target.received(), 1);
    EXPECT_FALSE(waiter.armed());
}

TEST(ScheduleWaiter, ArmingAgainOrCancellingEndsTheEarlierWait) {
    Target target;
    schedule::CScheduleWaiter waiter;
    ASSERT_EQ(waiter.Start(target.hwnd(), 1), schedule::CScheduleWaiter::Result::kArmed);
    ASSERT_EQ(waiter.Start(target.hwnd(), 3600), schedule::CScheduleWaiter::Result::kArmed);
    PumpUntil([] { return false; }, 3000);
    EXPECT_EQ(target.received(), 0);
    EXPECT_TRUE(waiter.armed());

    ASSERT_EQ(waiter.Start(target.hwnd(), 1), schedule::CScheduleWaiter::Result::kArmed);
    waiter.Cancel();
    EXPECT_FALSE(waiter.armed());
    PumpUntil([] { return false; }, 3000);
    EXPECT_EQ(target.received(), 0);
}

}  // namespace
