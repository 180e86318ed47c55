#pragma once
#include "platform/Clock.h"

namespace platform::win32 {

class Win32Clock : public Clock {
  public:
    LocalTime Now() override;
    std::string DateText(const LocalTime& time) override;
    std::string TimeText(const LocalTime& time) override;
    std::int64_t NowUtc() override;
    // Through the time zone in force on this computer.
    LocalTime UtcToLocal(std::int64_t utcSeconds) override;
};

}  // namespace platform::win32
