#include "schedule/ScheduleForm.h"

#include "platform/Text.h"
#include "schedule/NextScan.h"
#include "schedule/ScanTime.h"

namespace schedule {

namespace {

bool IsNotZero(const settings::SettingsStore& store, std::string_view name) {
    std::string value;
    return store.GetSetting(name, &value) && value != "0";
}

template <std::size_t N>
std::string Choice(const settings::SettingsStore& store, std::string_view name,
                   const std::array<const char*, N>& choices) {
    std::string value;
    store.GetSetting(name, &value);
    for (const char* choice : choices) {
        if (text::EqualsNoCase(value, choice))
            return choice;
    }
    return {};
}

// Day indices (0 = Sunday) in the order "WeekDay" lists them.
constexpr std::array<int, 7> kWeekDayOrder = {5, 1, 6, 0, 4, 2, 3};

}  // namespace

ScheduleForm LoadScheduleForm(const settings::SettingsStore& store) {
    ScheduleForm form;
    if (IsNotZero(store, "Periodic")) {
        form.kind = ScheduleForm::Kind::kPeriodic;
        form.period = Choice(store, "Period", kPeriodChoices);
        form.time = Choice(store, "Time", kTimeChoices);
    } else if (IsNotZero(store, "Weekly Scan")) {
        form.kind = ScheduleForm::Kind::kDayOfWeek;
        std::string days;
        store.GetSetting("WeekDay", &days);
        for (std::string_view name : text::Split(days, ',')) {
            if (std::optional<int> day = DayIndex(name))
                form.days[static_cast<std::size_t>(*day)] = true;
        }
        form.time = Choice(store, "Time", kTimeChoices);
    }
    form.scheduled = IsNotZero(store, "Schedule Scan");
    return form;
}

ScheduleControls ControlStates(const ScheduleForm& form) {
    ScheduleControls controls;
    if (!form.scheduled)
        return controls;
    controls.kinds = true;
    controls.time = true;
    controls.period = form.kind == ScheduleForm::Kind::kPeriodic;
    controls.days = form.kind == ScheduleForm::Kind::kDayOfWeek;
    return controls;
}

std::string WeekDayText(const std::array<bool, 7>& days) {
    std::string joined;
    for (int day : kWeekDayOrder) {
        if (!days[static_cast<std::size_t>(day)])
            continue;
        if (!joined.empty())
            joined += ',';
        joined += kDayNames[static_cast<std::size_t>(day)];
    }
    return joined;
}

ScheduleSaved SaveScheduleForm(const ScheduleForm& form, settings::SettingsStore& store,
                               platform::Clock& clock, const platform::LocalTime& now) {
    ScheduleSaved saved;
    if (!form.scheduled) {
        for (const char* name :
             {"Schedule Scan", "Periodic", "Weekly Scan", "Period", "WeekDay", "Time"}) {
            store.SetSetting(name, "0");
        }
        saved.close = true;
        return saved;
    }
    if (form.time.empty()) {
        saved.message = kChooseTime;
        saved.focusTime = true;
        return saved;
    }
    switch (form.kind) {
        case ScheduleForm::Kind::kPeriodic:
            if (form.period.empty()) {
                saved.message = kSelectPeriod;
                return saved;
            }
            store.SetSetting("Period", form.period);
            store.SetSetting("Time", form.time);
            store.SetSetting("Periodic", "1");
            store.SetSetting("Weekly Scan", "0");
            break;
        case ScheduleForm::Kind::kDayOfWeek: {
            const std::string days = WeekDayText(form.days);
            if (days.empty()) {
                saved.message = kSelectWeekDay;
                return saved;
            }
            store.SetSetting("Time", form.time);
            store.SetSetting("Weekly Scan", "1");
            store.SetSetting("WeekDay", days);
            store.SetSetting("Periodic", "0");
            break;
        }
        case ScheduleForm::Kind::kNone:
            saved.message = kSelectKind;
            return saved;
    }
    store.SetSetting("Schedule Scan", "1");
    saved.nextScan = ComputeNextScan(store, clock, now);
    saved.close = true;
    return saved;
}

}  // namespace schedule
