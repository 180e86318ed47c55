#pragma once
// The running program through the Win32 API.
#include "platform/Processes.h"

namespace platform::win32 {

class Win32Processes : public Processes {
  public:
    std::string ModuleFileName() override;
};

}  // namespace platform::win32
