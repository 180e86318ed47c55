#pragma once
// A described machine for offline work: Windows-like defaults that a caller
// can change variable by variable.
#include <map>
#include <string>

#include "platform/Environment.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace platform::host {

class HostEnvironment : public Environment {
  public:
    // Defaults of a stock installation on drive C: with a user named "user".
    HostEnvironment();

    // Sets an environment string (names are case-insensitive). "SystemRoot"
    // moves the Windows and system folders with it.
    void SetVariable(std::string_view name, std::string_view value);
    // Looks up a variable; empty when undefined.
    std::string Variable(std::string_view name) const;
    void SetUserSid(std::string sid) { sid_ = std::move(sid); }
    // The folder ShellFolderPath() reports for `folder`, ahead of anything
    // the registry says. Until set (and after an empty value) the folder is
    // looked up as the shell does (see ReadShellFoldersFrom), else it is the
    // Windows 7 place under the profile variables (for the cookies
    // "%APPDATA%\Microsoft\Windows\Cookies"), expanded when asked.
    void SetShellFolder(ShellFolder folder, std::string path) {
        shellFolders_[folder] = std::move(path);
    }
    void SetCookiesFolder(std::string folder) {
        SetShellFolder(ShellFolder::kCookies, std::move(folder));
    }

    // Takes the shell folders from `registry` the way the shell does: the
    // "User Shell Folders" value (expanded), then the "Shell Folders" value,
    // of HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer
    // (HKEY_LOCAL_MACHINE's for the all-users folders). The registry must
    // outlive this object; null stops the lookup.
    void ReadShellFoldersFrom(Registry* registry) { registry_ = registry; }

    std::string WindowsFolder() override;
    std::string SystemFolder() override;
    bool ExpandEnvironmentStrings(std::string_view text, std::string* expanded) override;
    std::string ProgramFilesFolder() override;
    std::string UserSid() override { return sid_; }
    std::string ShellFolderPath(ShellFolder folder) override;

  private:
    std::map<std::string, std::string, text::LessNoCase> variables_;
    std::string sid_;
    std::map<ShellFolder, std::string> shellFolders_;
    Registry* registry_ = nullptr;

    std::string RegisteredShellFolder(ShellFolder folder);
};

}  // namespace platform::host
