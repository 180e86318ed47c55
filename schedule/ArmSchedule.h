#pragma once
// `ArmSchedule` without the timer: whether to wait, until when and for how
// long, from the settings and the clock. The window arms its timer from the
// plan and shows its message.
#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "settings/SettingsStore.h"

namespace schedule {

inline constexpr const char* kMessageCaption = "Brindlex";
inline constexpr const char* kIncorrectSettings =
    "Your Scheduled Scan Settings are Incorrect please goto menu and enter Scheduled Settings "
    "again";

struct ArmPlan {
    enum class Action {
        kCancel,     // no scan is scheduled: nothing may stay armed
        kArm,        // wait `delaySeconds` for `when`
        kIncorrect,  // scheduled, but with nothing to wait for: say kIncorrectSettings
    };
    Action action = Action::kCancel;
    platform::LocalTime when;
    // Real seconds until `when` (at least 1), daylight-saving changes
    // included.
    std::int64_t delaySeconds = 0;
    // The display text of `when`; empty unless armed.
    std::string text;
};

// Not scheduled: cancel. No "NtS": incorrect. A stored "NtS" still ahead is
// kept; one that has passed (a scan missed while the program was not running
// is not made up) is replaced by ComputeNextScan, which writes the new one.
// A time due this very second counts as passed, so that the scan it started
// is not started again.
ArmPlan PlanArmSchedule(settings::SettingsStore& store, platform::Clock& clock);

}  // namespace schedule
