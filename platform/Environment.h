#pragma once
// The system folders, environment strings and user identity the logic reads.
#include <string>
#include <string_view>

namespace platform {

// The shell folders the logic reads, numbered as the shell numbers them
// (CSIDL values).
enum class ShellFolder : int {
    kFavorites = 0x06,
    kStartup = 0x07,
    kCommonStartup = 0x18,
    kAppData = 0x1A,
    kLocalAppData = 0x1C,
    kCookies = 0x21,
    kProfile = 0x28,
};

class Environment {
  public:
    virtual ~Environment() = default;
    // GetWindowsDirectory / GetSystemDirectory, no trailing backslash.
    virtual std::string WindowsFolder() = 0;
    virtual std::string SystemFolder() = 0;
    // ExpandEnvironmentStrings: %NAME% of a defined variable (any case) is
    // replaced, anything else is kept as written. False when it fails.
    virtual bool ExpandEnvironmentStrings(std::string_view text, std::string* expanded) = 0;
    // The shell's program-files folder; empty when unknown.
    virtual std::string ProgramFilesFolder() = 0;
    // The current user's security identifier as "S-1-5-21-..."; empty when
    // unknown.
    virtual std::string UserSid() = 0;
    // The shell's path of one of the current user's (or all users') folders,
    // without creating it and without a trailing backslash; empty when
    // unknown.
    virtual std::string ShellFolderPath(ShellFolder folder) = 0;
    std::string CookiesFolder() { return ShellFolderPath(ShellFolder::kCookies); }
};

}  // namespace platform
