#pragma once
#include "platform/Environment.h"

namespace platform::win32 {

class Win32Environment : public Environment {
  public:
    std::string WindowsFolder() override;
    std::string SystemFolder() override;
    bool ExpandEnvironmentStrings(std::string_view text, std::string* expanded) override;
    std::string ProgramFilesFolder() override;
    std::string UserSid() override;
    std::string ShellFolderPath(ShellFolder folder) override;
};

}  // namespace platform::win32
