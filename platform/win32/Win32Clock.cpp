#include "platform/win32/Win32Clock.h"

#include "platform/win32/Windows.h"

namespace platform::win32 {

LocalTime Win32Clock::Now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wDayOfWeek};
}

}  // namespace platform::win32
