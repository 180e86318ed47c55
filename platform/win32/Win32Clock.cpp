#include "platform/win32/Win32Clock.h"

#include "platform/win32/WideText.h"
#include "platform/win32/Windows.h"

namespace platform::win32 {
namespace {

SYSTEMTIME ToSystemTime(const LocalTime& time) {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(time.year);
    t.wMonth = static_cast<WORD>(time.month);
    t.wDay = static_cast<WORD>(time.day);
    t.wHour = static_cast<WORD>(time.hour);
    t.wMinute = static_cast<WORD>(time.minute);
    t.wSecond = static_cast<WORD>(time.second);
    return t;
}

// FILETIME counts 100-nanosecond steps from 1601-01-01.
constexpr std::int64_t kUnixEpochInFileTimeSeconds = 11644473600;
constexpr std::int64_t kFileTimeStepsPerSecond = 10000000;

}  // namespace

LocalTime Win32Clock::Now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wDayOfWeek};
}

std::int64_t Win32Clock::NowUtc() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const std::int64_t steps = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
    return steps / kFileTimeStepsPerSecond - kUnixEpochInFileTimeSeconds;
}

LocalTime Win32Clock::UtcToLocal(std::int64_t utcSeconds) {
    const auto steps = static_cast<std::uint64_t>((utcSeconds + kUnixEpochInFileTimeSeconds) *
                                                  kFileTimeStepsPerSecond);
    FILETIME instant{static_cast<DWORD>(steps), static_cast<DWORD>(steps >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    // Outside what the system can convert (before 1601), UTC is as good as
    // any answer.
    if (!FileTimeToSystemTime(&instant, &utc) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return Clock::UtcToLocal(utcSeconds);
    }
    return {local.wYear,   local.wMonth,  local.wDay,      local.wHour,
            local.wMinute, local.wSecond, local.wDayOfWeek};
}

std::string Win32Clock::DateText(const LocalTime& time) {
    const SYSTEMTIME t = ToSystemTime(time);
    wchar_t buffer[128];
    // A date the system refuses (a name that was not a real date) falls back
    // to the plain numbers rather than an empty text.
    if (GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, buffer, 128,
                        nullptr) == 0)
        return Clock::DateText(time);
    return Narrow(buffer);
}

std::string Win32Clock::TimeText(const LocalTime& time) {
    const SYSTEMTIME t = ToSystemTime(time);
    wchar_t buffer[128];
    if (GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &t, nullptr, buffer, 128) == 0)
        return Clock::TimeText(time);
    return Narrow(buffer);
}

}  // namespace platform::win32
