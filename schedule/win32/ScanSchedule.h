#pragma once
// Scheduled scans as the main window runs them: `ArmSchedule` over the
// schedule waiter, and "&Scan Scheduling".
#include <memory>
#include <string>

#include "platform/System.h"
#include "removal/Prompts.h"
#include "schedule/win32/ScheduleWaiter.h"

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
    // "&Scan Scheduling": runs `CScheduleDialog`. True on OK (then arm
    // again); `nextScan` gets the next scan's display text for the "Scan
    // Scheduled" popup, empty when no schedule was set.
    bool RunDialog(HWND owner, std::string* nextScan);

    CScheduleWaiter& waiter() { return waiter_; }

  private:
    platform::System& system_;
    removal::Prompts& prompts_;
    CScheduleWaiter waiter_;
};

}  // namespace schedule
