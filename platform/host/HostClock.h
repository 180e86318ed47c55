#pragma once
#include "platform/Clock.h"

namespace platform::host {

// The host's local time, or a fixed time a test sets.
class HostClock : public Clock {
  public:
    LocalTime Now() override;
    void SetFixed(const LocalTime& time) {
        fixed_ = time;
        isFixed_ = true;
    }

  private:
    LocalTime fixed_;
    bool isFixed_ = false;
};

}  // namespace platform::host
