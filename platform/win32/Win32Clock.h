#pragma once
#include "platform/Clock.h"

namespace platform::win32 {

class Win32Clock : public Clock {
  public:
    LocalTime Now() override;
    std::string DateText(const LocalTime& time) override;
    std::string TimeText(const LocalTime& time) override;
};

}  // namespace platform::win32
