#include "schedule/ScanTime.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/Text.h"

namespace schedule {

namespace {

constexpr std::array<const char*, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

const std::int64_t kOleEpochDays = platform::DaysFromCivil(1899, 12, 30);
const std::int64_t kLastOleDay = platform::DaysFromCivil(9999, 12, 31) - kOleEpochDays;

}  // namespace

std::optional<int> ParseScanHour(std::string_view timeText) {
    if (timeText.size() < 3)
        return std::nullopt;
    const std::string_view suffix = timeText.substr(timeText.size() - 2);
    const bool pm = text::EqualsNoCase(suffix, "PM");
    if (!pm && !text::EqualsNoCase(suffix, "AM"))
        return std::nullopt;
    const std::string_view number = text::Trim(timeText.substr(0, timeText.size() - 2));
    int hour = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), hour);
    if (error != std::errc() || end != number.data() + number.size() || hour < 1 || hour > 12)
        return std::nullopt;
    if (hour == 12)
        return pm ? 12 : 0;
    return pm ? hour + 12 : hour;
}

std::optional<int> DayIndex(std::string_view name) {
    for (std::size_t i = 0; i < kDayNames.size(); ++i) {
        if (text::EqualsNoCase(text::Trim(name), kDayNames[i]))
            return static_cast<int>(i);
    }
    return std::nullopt;
}

int WeekdayOf(const platform::LocalTime& date) {
    return platform::CivilFromDays(platform::DaysFromCivil(date.year, date.month, date.day))
        .dayOfWeek;
}

std::string OleDateText(const platform::LocalTime& time) {
    const double days =
        static_cast<double>(platform::DaysFromCivil(time.year, time.month, time.day) -
                            kOleEpochDays) +
        (time.hour * 3600 + time.minute * 60 + time.second) / 86400.0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f", days);
    return buffer;
}

std::optional<platform::LocalTime> ParseOleDate(std::string_view textIn) {
    const std::string_view number = text::Trim(textIn);
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value) ||
        value < 0 || value >= static_cast<double>(kLastOleDay + 1)) {
        return std::nullopt;
    }
    const double whole = std::floor(value);
    auto days = static_cast<std::int64_t>(whole);
    // "%f" keeps six decimals, so a whole hour reads back a fraction of a
    // second off.
    auto seconds = static_cast<std::int64_t>(std::llround((value - whole) * 86400.0));
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    return platform::CalendarTime((days + kOleEpochDays) * 86400 + seconds);
}

std::string ScanTimeText(platform::Clock& clock, const platform::LocalTime& time) {
    const int month = time.month >= 1 && time.month <= 12 ? time.month : 1;
    char date[96];
    std::snprintf(date, sizeof date, "%s, %s %02d, %d",
                  kDayNames[static_cast<std::size_t>(WeekdayOf(time))],
                  kMonthNames[static_cast<std::size_t>(month - 1)], time.day, time.year);
    return std::string(date) + " " + clock.TimeText(time);
}

}  // namespace schedule
