#pragma once
// The running program as the portable logic sees it off Windows: its module
// file name is whatever Windows path the owner says it is.
#include <string>

#include "platform/Processes.h"

namespace platform::host {

class HostProcesses : public Processes {
  public:
    // `moduleFileName` is a Windows path such as "C:\Program Files\App\app.exe".
    explicit HostProcesses(std::string moduleFileName);

    std::string ModuleFileName() override;

  private:
    std::string moduleFileName_;
};

}  // namespace platform::host
