#pragma once
// The decisions of "Add a Schedule" (dialog 220): what its controls show
// when it opens, which of them are enabled, and what OK checks and writes.
#include <array>
#include <string>

#include "platform/Clock.h"
#include "settings/SettingsStore.h"

namespace schedule {

inline constexpr const char* kChooseTime = "Please Choose a Time to Scan";
inline constexpr const char* kSelectPeriod = "Please Select a Period";
inline constexpr const char* kSelectWeekDay = "Please Select a WeekDay";
inline constexpr const char* kSelectKind = "Please Select either Periodic Scan or Weekly Scan";
inline constexpr const char* kScheduledTitle = "Scan Scheduled";

// What the dialog's controls hold.
struct ScheduleForm {
    enum class Kind { kNone, kDayOfWeek, kPeriodic };
    bool scheduled = false;  // "Schedule a Scan"
    Kind kind = Kind::kNone;
    std::array<bool, 7> days{};  // Sunday to Saturday
    std::string period;          // the chosen kPeriodChoices entry, or empty
    std::string time;            // the chosen kTimeChoices entry, or empty
};

// From the settings: a periodic schedule shows its period and time; else a
// day-of-week schedule its days and time; "Schedule a Scan" is ticked while
// "Schedule Scan" is not "0". Texts that are not among the choices show as
// no choice.
ScheduleForm LoadScheduleForm(const settings::SettingsStore& store);

struct ScheduleControls {
    bool kinds = false;   // both radio buttons
    bool days = false;    // the seven day boxes
    bool period = false;  // "Scan for Items"
    bool time = false;    // "Scan at"
};
ScheduleControls ControlStates(const ScheduleForm& form);

// The ticked days as "WeekDay" holds them: names joined by "," in the order
// Friday, Monday, Saturday, Sunday, Thursday, Tuesday, Wednesday.
std::string WeekDayText(const std::array<bool, 7>& days);

struct ScheduleSaved {
    bool close = false;      // the dialog ends with OK
    std::string message;     // to show (the dialog stays open)
    bool focusTime = false;  // with kChooseTime
    // Scheduled: the next scan's display text, for the "Scan Scheduled"
    // popup; empty when the schedule was switched off.
    std::string nextScan;
};
// OK: unticked writes the six schedule values as "0"; otherwise the input is
// checked in the dialog's order, the schedule written and the next scan
// computed from `now`.
ScheduleSaved SaveScheduleForm(const ScheduleForm& form, settings::SettingsStore& store,
                               platform::Clock& clock, const platform::LocalTime& now);

}  // namespace schedule
