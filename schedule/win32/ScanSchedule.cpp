#include "schedule/win32/ScanSchedule.h"

#include "schedule/ArmSchedule.h"
#include "schedule/ScheduleForm.h"
#include "schedule/win32/ScheduleDialog.h"

namespace schedule {

CScanSchedule::CScanSchedule(platform::System& system, removal::Prompts& prompts)
    : system_(system), prompts_(prompts) {}

CScanSchedule::~CScanSchedule() = default;

std::string CScanSchedule::Arm(HWND mainWindow) {
    settings::SettingsStore store(system_);
    const ArmPlan plan = PlanArmSchedule(store, system_.clock);
    switch (plan.action) {
        case ArmPlan::Action::kCancel:
            waiter_.Cancel();
            return {};
        case ArmPlan::Action::kIncorrect:
            waiter_.Cancel();
            prompts_.Ask(kIncorrectSettings, kMessageCaption, removal::Buttons::kOk);
            return {};
        case ArmPlan::Action::kArm:
            break;
    }
    switch (waiter_.Start(mainWindow, plan.delaySeconds)) {
        case CScheduleWaiter::Result::kArmed:
            return plan.text;
        case CScheduleWaiter::Result::kTimerFailed:
            prompts_.Ask(kTimerFailedText, "", removal::Buttons::kOk);
            return {};
        case CScheduleWaiter::Result::kThreadFailed:
            prompts_.Ask(kThreadFailedText, kMessageCaption, removal::Buttons::kOk);
            return {};
    }
    return {};
}

bool CScanSchedule::RunDialog(HWND owner, std::string* nextScan) {
    CScheduleDialog dialog(system_, owner);
    dialog.SetPrompts(prompts_);
    if (dialog.DoModal() != IDOK)
        return false;
    *nextScan = dialog.nextScan;
    return true;
}

}  // namespace schedule
