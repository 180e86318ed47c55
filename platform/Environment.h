#pragma once
// The system folders, environment strings and user identity the logic reads.
#include <string>
#include <string_view>

namespace platform {

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
    // The shell's cookies folder of the current user, no trailing backslash;
    // empty when unknown.
    virtual std::string CookiesFolder() = 0;
};

}  // namespace platform
