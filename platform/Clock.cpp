#include "platform/Clock.h"

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

}  // namespace platform
