// The real main window over the real registry of the test prefix, with a
// clock the test sets: a schedule made through "&Scan Scheduling" for the
// coming whole hour starts a scan through WM_START_SCHEDULED_SCAN when that
// hour comes, and the schedule is armed again for the next day; a schedule
// switched off starts nothing.
#include <gtest/gtest.h>

#include <atomic>

#include "app/Startup.h"
#include "app/TrayModel.h"
#include "app/win32/MainDialog.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "app/win32/tests/GuiTestSupport.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32System.h"
#include "refdb/Scramble.h"
#include "schedule/ScanTime.h"
#include "schedule/win32/ScheduleIds.h"
#include "settings/Messages.h"
#include "ui/Screenshot.h"

namespace {

using platform::LocalTime;

// The system's clock moved to a time the test chooses; it keeps running.
class SetClock : public platform::win32::Win32Clock {
  public:
    void Show(const LocalTime& local) {
        offset_ = 0;
        offset_ = LocalToUtc(local) - NowUtc();
    }
    std::int64_t NowUtc() override { return Win32Clock::NowUtc() + offset_.load(); }
    LocalTime Now() override { return UtcToLocal(NowUtc()); }

  private:
    std::atomic<std::int64_t> offset_{0};
};

void Choose(HWND dialog, int id, const wchar_t* text) {
    HWND combo = GetDlgItem(dialog, id);
    SendMessageW(
        combo, CB_SETCURSEL,
        static_cast<WPARAM>(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(text))),
        0);
}

class ScheduledScanTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ =
            platform::win32::Narrow(temp) + "BxSchedule" + std::to_string(GetCurrentProcessId());
        platform_.files.CreateDirectory(folder_);
        platform_.files.WriteFile(folder_ + "\\sched.dll", "planted");
        const std::string markup =
            "<BX TOTAL=\"1\"><SW NAME=\"Sched Trace\"><FILES><FILE "
            "NAME=\"sched.dll\" PATH=\"" +
            folder_ + "\" /></FILES></SW></BX>";
        platform_.files.WriteFile(folder_ + "\\sched.bx", refdb::Scrambled(markup));
        settings_.SetText("rfp", folder_ + "\\sched.bx");
        for (const char* off : {"acu", "abrs", "scnlg", "Schedule Scan", "Periodic", "Weekly Scan"})
            settings_.SetText(off, "0");
        settings_.SetText("nowarn", "1");
        settings_.SetText("NtS", "0");
        settings_.SetDword("scantype", 1);
        prompts_.Answer(app::kReferenceDamagedQuestion, removal::Answer::kNo);
    }
    void TearDown() override {
        window_.reset();
        guitest::PumpPending();
        platform_.files.DeleteFile(folder_ + "\\sched.dll");
        platform_.files.DeleteFile(folder_ + "\\sched.bx");
        platform_.files.RemoveDirectory(folder_);
    }

    void Open() {
        window_ =
            std::make_unique<app::CMainDialog>(context_, app::LaunchOptions{}, prompts_, prompts_);
        ASSERT_TRUE(window_->Create());
        ShowWindow(window_->hwnd(), SW_SHOW);
        guitest::PumpPending();
    }

    // "&Scan Scheduling" from the menu; `fill` works the dialog, then OK.
    void Schedule(const std::function<void(HWND)>& fill) {
        bool seen = false;
        dialogtest::WhenWindowAppears dialog(L"Add a Schedule", [&](HWND window) {
            seen = true;
            fill(window);
            dialogtest::Click(window, IDOK);
        });
        SendMessageW(window_->hwnd(), WM_COMMAND, app::commands::kScanScheduling, 0);
        ASSERT_TRUE(seen);
    }
    static void DailyAt(HWND window, const wchar_t* time) {
        if (SendDlgItemMessageW(window, IDC_BX_SCHED_ENABLED, BM_GETCHECK, 0, 0) != BST_CHECKED)
            dialogtest::Click(window, IDC_BX_SCHED_ENABLED);
        dialogtest::Click(window, IDC_BX_SCHED_PERIODIC);
        Choose(window, IDC_BX_SCHED_PERIOD, L"Daily");
        Choose(window, IDC_BX_SCHED_TIME, time);
    }

    std::string Setting(const char* name) {
        std::string value;
        settings::SettingsStore(system_).GetSetting(name, &value);
        return value;
    }
    bool ScanFinished() const {
        return prompts_.WasAsked(app::kScanComplete) || prompts_.WasAsked(app::kScanAborted);
    }

    platform::win32::Win32System platform_;
    SetClock clock_;
    platform::System system_{platform_.registry,    platform_.files, platform_.processes,
                             platform_.environment, clock_,          platform_.network};
    refdb::ReferenceDatabase database_{system_};
    scan::ResultRows rows_;
    app::AppContext context_{system_, database_, rows_, platform_.processes.ModuleFileName()};
    guitest::ScriptedPrompts prompts_;
    guitest::SettingsOverride settings_{system_};
    std::unique_ptr<app::CMainDialog> window_;
    std::string folder_;
};

TEST_F(ScheduledScanTest, TheScheduledHourStartsAScanAndArmsTheNextDay) {
    // Monday 6 May 2030, four seconds before 15:00.
    clock_.Show({2030, 5, 6, 14, 59, 56, 1});
    Open();
    Schedule([](HWND window) { DailyAt(window, L"3 PM"); });
    EXPECT_EQ(Setting("NtS"), "47609.625000");
    EXPECT_EQ(Setting("NextScan"), "Monday, May 06, 2030 " + clock_.TimeText({2030, 5, 6, 15}));
    EXPECT_TRUE(window_->schedule().waiter().armed());
    ASSERT_FALSE(ScanFinished());

    ASSERT_TRUE(guitest::PumpUntil([&] { return ScanFinished(); }))
        << "no scan started at the scheduled hour";
    const LocalTime finished = clock_.Now();
    EXPECT_EQ(finished.hour, 15) << "the scan started before its hour";
    EXPECT_TRUE(prompts_.WasAsked(app::RemovalQuestion(1)));
    EXPECT_EQ(Setting("NtS"), "47610.625000");  // Tuesday 7 May, 15:00
    EXPECT_TRUE(window_->schedule().waiter().armed());
    EXPECT_TRUE(ui::SaveWindowPng(window_->hwnd(), ui::ScreenshotPath("scheduled-scan")));
}

TEST_F(ScheduledScanTest, AScheduleSwitchedOffStartsNoScan) {
    clock_.Show({2030, 5, 6, 15, 59, 52, 1});
    Open();
    Schedule([](HWND window) { DailyAt(window, L"4 PM"); });
    ASSERT_EQ(Setting("Schedule Scan"), "1");
    ASSERT_TRUE(window_->schedule().waiter().armed());
    // The tray's Exit names the scan it would miss (and is cancelled).
    SendMessageW(window_->hwnd(), WM_COMMAND, app::commands::kTrayExit, 0);
    EXPECT_TRUE(prompts_.WasAsked(app::ScheduledExitQuestion(Setting("NextScan"))));
    ASSERT_TRUE(IsWindow(window_->hwnd()));
    Schedule([](HWND window) { dialogtest::Click(window, IDC_BX_SCHED_ENABLED); });
    EXPECT_EQ(Setting("Schedule Scan"), "0");
    EXPECT_EQ(Setting("Time"), "0");
    EXPECT_FALSE(window_->schedule().waiter().armed());
    // Well past 16:00.
    guitest::PumpUntil([] { return false; }, std::chrono::seconds(12));
    EXPECT_FALSE(ScanFinished());
}

}  // namespace
