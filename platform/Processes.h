#pragma once
// The running program and other processes.
#include <string>

namespace platform {

class Processes {
  public:
    virtual ~Processes() = default;
    // GetModuleFileName of the running executable, as a Windows path; empty on
    // failure.
    virtual std::string ModuleFileName() = 0;
};

}  // namespace platform
