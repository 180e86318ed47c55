#pragma once
// The running program through the Win32 API.
#include "platform/Processes.h"

namespace platform::win32 {

class Win32Processes : public Processes {
  public:
    std::string ModuleFileName() override;
    bool RunProgram(std::string_view program, std::string_view parameters, bool wait) override;
    bool FindWindowProcess(std::string_view windowClass, std::uint32_t* processId) override;
    bool TerminateProcess(std::uint32_t processId, std::uint32_t exitCode) override;
    bool ShutDownSystem(std::uint32_t flags, std::uint32_t reason) override;
};

}  // namespace platform::win32
