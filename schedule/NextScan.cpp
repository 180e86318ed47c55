#include "schedule/NextScan.h"

#include <array>

#include "platform/Text.h"
#include "schedule/ScanTime.h"

namespace schedule {

namespace {

std::string Setting(const settings::SettingsStore& store, std::string_view name) {
    std::string value;
    store.GetSetting(name, &value);
    return value;
}

}  // namespace

ScheduleSettings ScheduleSettings::Read(const settings::SettingsStore& store) {
    ScheduleSettings s;
    std::string scheduled;
    // An absent value means no schedule was ever set.
    s.scheduled = store.GetSetting("Schedule Scan", &scheduled) && scheduled != "0";
    s.periodic = Setting(store, "Periodic") == "1";
    s.weekly = Setting(store, "Weekly Scan") == "1";
    s.period = Setting(store, "Period");
    s.weekDays = Setting(store, "WeekDay");
    s.time = Setting(store, "Time");
    return s;
}

std::optional<platform::LocalTime> NextScanTime(const ScheduleSettings& schedule,
                                                const platform::LocalTime& now) {
    const std::optional<int> hour = ParseScanHour(schedule.time);
    if (!schedule.scheduled || !hour)
        return std::nullopt;
    platform::LocalTime today = platform::AddDays(now, 0);
    today.hour = *hour;
    today.minute = 0;
    today.second = 0;

    if (schedule.periodic) {
        const bool ahead =
            now.hour < *hour || (now.hour == *hour && now.minute == 0 && now.second == 0);
        if (text::EqualsNoCase(schedule.period, kWeekly))
            return ahead ? today : platform::AddDays(today, 7);
        if (text::EqualsNoCase(schedule.period, kDaily))
            return ahead ? today : platform::AddDays(today, 1);
        return std::nullopt;
    }
    if (schedule.weekly) {
        std::array<bool, 7> chosen{};
        for (std::string_view name : text::Split(schedule.weekDays, ',')) {
            if (std::optional<int> day = DayIndex(name))
                chosen[static_cast<std::size_t>(*day)] = true;
        }
        const int weekday = WeekdayOf(now);
        if (chosen[static_cast<std::size_t>(weekday)] && now.hour < *hour)
            return today;
        for (int k = 1; k <= 7; ++k) {
            if (chosen[static_cast<std::size_t>((weekday + k) % 7)])
                return platform::AddDays(today, k);
        }
    }
    return std::nullopt;
}

std::optional<platform::LocalTime> ComputeAndStoreNextScan(settings::SettingsStore& store,
                                                           platform::Clock& clock,
                                                           const platform::LocalTime& now,
                                                           std::string* text) {
    text->clear();
    const std::optional<platform::LocalTime> next =
        NextScanTime(ScheduleSettings::Read(store), now);
    if (!next)
        return std::nullopt;
    *text = ScanTimeText(clock, *next);
    store.SetSetting("NtS", OleDateText(*next));
    store.SetSetting("NextScan", *text);
    return next;
}

std::string ComputeNextScan(settings::SettingsStore& store, platform::Clock& clock,
                            const platform::LocalTime& now) {
    std::string text;
    ComputeAndStoreNextScan(store, clock, now, &text);
    return text;
}

}  // namespace schedule
