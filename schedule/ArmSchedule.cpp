#include "schedule/ArmSchedule.h"

#include <algorithm>

#include "schedule/NextScan.h"
#include "schedule/ScanTime.h"

namespace schedule {

ArmPlan PlanArmSchedule(settings::SettingsStore& store, platform::Clock& clock) {
    ArmPlan plan;
    if (!ScheduleSettings::Read(store).scheduled)
        return plan;
    plan.action = ArmPlan::Action::kIncorrect;
    std::string stored;
    if (!store.GetSetting("NtS", &stored) || stored.empty())
        return plan;

    // Unreadable text counts as a time that has passed.
    std::optional<platform::LocalTime> when = ParseOleDate(stored);
    if (when && clock.SecondsUntil(*when) > 0) {
        plan.text = ScanTimeText(clock, *when);
    } else {
        const std::int64_t now = clock.NowUtc();
        when = ComputeAndStoreNextScan(store, clock, clock.UtcToLocal(now), &plan.text);
        // Periodic schedules take hh:00:00 itself as still ahead: right after
        // the scan of that second, look from the next one.
        if (when && clock.LocalToUtc(*when) <= now)
            when = ComputeAndStoreNextScan(store, clock, clock.UtcToLocal(now + 1), &plan.text);
        if (!when)
            return plan;
    }
    plan.action = ArmPlan::Action::kArm;
    plan.when = *when;
    plan.delaySeconds = std::max<std::int64_t>(1, clock.SecondsUntil(*when));
    return plan;
}

}  // namespace schedule
