#pragma once
// Scheduled scans as the main window runs them: `ArmSchedule` over the
// schedule waiter, and "&Scan Scheduling" with its "Scan Scheduled" popup.
#include <memory>
#include <string>

#include "platform/System.h"
#include "removal/Prompts.h"
#include "schedule/win32/ScheduleWaiter.h"

namespace app {
class CNotificationPopup;
}

namespace schedule {

class CScanSchedule {
  public:
    CScanSchedule(platform::System& system, removal::Prompts& prompts);
    ~CScanSchedule();
    CScanSchedule(const CScanSchedule&) = delete;
    CScanSchedule& operator=(const CScanSchedule&) = delete;

    // `ArmSchedule`: waits for the stored next scan, or one computed anew
    // when it has passed, to send WM_START_SCHEDULED_SCAN to `mainWindow`.
    // Without a schedule nothing stays armed. Returns the display text,
    // empty when nothing was armed.
    std::string Arm(HWND mainWindow);
    // "&Scan Scheduling": runs `CScheduleDialog`; after OK with a schedule,
    // the "Scan Scheduled" popup names the next scan. True on OK (then arm
    // again).
    bool RunDialog(HWND owner);

    CScheduleWaiter& waiter() { return waiter_; }

  private:
    platform::System& system_;
    removal::Prompts& prompts_;
    CScheduleWaiter waiter_;
    std::unique_ptr<app::CNotificationPopup> popup_;
};

}  // namespace schedule
