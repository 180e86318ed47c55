#pragma once
// When the next scheduled scan is due: on chosen days of the week or every
// day or week, always at a whole hour of the local time.
#include <optional>
#include <string>

#include "platform/Clock.h"
#include "settings/SettingsStore.h"

namespace schedule {

// The schedule as the settings hold it.
struct ScheduleSettings {
    bool scheduled = false;  // "Schedule Scan" present and not "0"
    bool periodic = false;   // "Periodic" is "1"
    bool weekly = false;     // "Weekly Scan" is "1"
    std::string period;      // "Period": "Daily" or "Weekly"
    std::string weekDays;    // "WeekDay": day names separated by ","
    std::string time;        // "Time": one of kTimeChoices

    static ScheduleSettings Read(const settings::SettingsStore& store);
};

// The next scan after `now` (local time), or nothing when the settings name
// no valid schedule. Periodic: today at the hour while it is still ahead
// (the hour itself counts at exactly hh:00:00), else the next day or the
// same day next week. Days of the week: today when chosen and its hour is
// still to come, else the first chosen day among the next seven.
std::optional<platform::LocalTime> NextScanTime(const ScheduleSettings& schedule,
                                                const platform::LocalTime& now);

// `ComputeNextScan`: works out the next scan from the settings and writes
// "NtS" and "NextScan"; returns the display text, empty (and nothing
// written) when no scan is scheduled or the schedule is not valid.
std::string ComputeNextScan(settings::SettingsStore& store, platform::Clock& clock,
                            const platform::LocalTime& now);
// The same, with the time as well.
std::optional<platform::LocalTime> ComputeAndStoreNextScan(settings::SettingsStore& store,
                                                           platform::Clock& clock,
                                                           const platform::LocalTime& now,
                                                           std::string* text);

}  // namespace schedule
