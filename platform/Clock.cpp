#include "platform/Clock.h"

#include <algorithm>
#include <cstdio>

namespace platform {

std::string Clock::DateText(const LocalTime& time) {
    char text[48];
    std::snprintf(text, sizeof text, "%d/%d/%d", time.month, time.day, time.year);
    return text;
}

std::string Clock::TimeText(const LocalTime& time) {
    const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
    char text[48];
    std::snprintf(text, sizeof text, "%d:%02d:%02d %s", hour12, time.minute, time.second,
                  time.hour < 12 ? "AM" : "PM");
    return text;
}

std::int64_t Clock::NowUtc() {
    return CalendarSeconds(Now());
}

LocalTime Clock::UtcToLocal(std::int64_t utcSeconds) {
    return CalendarTime(utcSeconds);
}

// Only UtcToLocal is asked of the platform, which every system answers
// unambiguously. Zone offsets lie within a day of UTC and change at most once
// in a few days, so the offsets in force a day and a half before and after
// the local time are the only candidates.
std::int64_t Clock::LocalToUtc(const LocalTime& local) {
    constexpr std::int64_t kAround = 36 * 3600;
    const std::int64_t wanted = CalendarSeconds(local);
    auto shown = [this](std::int64_t instant) { return CalendarSeconds(UtcToLocal(instant)); };
    const std::int64_t offsetBefore = shown(wanted - kAround) - (wanted - kAround);
    const std::int64_t offsetAfter = shown(wanted + kAround) - (wanted + kAround);
    const std::int64_t early = wanted - std::max(offsetBefore, offsetAfter);
    const std::int64_t late = wanted - std::min(offsetBefore, offsetAfter);
    if (shown(early) == wanted)
        return early;
    if (shown(late) == wanted)
        return late;
    // Skipped: between the two candidates the clock jumps over `wanted`;
    // find the first instant that shows it or later.
    std::int64_t low = early;
    std::int64_t high = late;
    while (low < high) {
        const std::int64_t middle = low + (high - low) / 2;
        if (shown(middle) >= wanted)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

}  // namespace platform
