#pragma once
// The program's settings: REG_SZ and REG_DWORD values under
// HKEY_CURRENT_USER\Software\Brindlex5, read afresh at every use and written
// at once. Nothing is cached, so any thread may use its own store object.
#include <string>
#include <string_view>

#include "platform/System.h"

namespace settings {

// Settings texts above this many bytes are reported as missing.
inline constexpr std::size_t kSettingBufferSize = 260;

class SettingsStore {
  public:
    explicit SettingsStore(platform::System& system) : system_(system) {}

    // Reads a REG_SZ setting through a 260-byte buffer. False when the name is
    // empty, the key or value is missing, or the text does not fit (259 bytes
    // at most).
    bool GetSetting(std::string_view name, std::string* value) const;
    // Writes a REG_SZ setting without the terminating zero. The key must
    // exist. False on an empty name or any failure.
    bool SetSetting(std::string_view name, std::string_view value);
    // Flag settings: on only for the exact text "1".
    bool IsOn(std::string_view name) const;

    // The "Run at Windows startup" entry under the current user's Run key.
    bool SetRunEntry(std::string_view name, std::string_view commandLine);
    bool DeleteRunEntry(std::string_view name);

    // Absent or "1" (any case) "firstrun" means a first run; "1" is reset to
    // "0" on the way.
    bool IsFirstRun();
    // Creates the settings key and writes the whole default table.
    bool WriteDefaultSettings();

    // The executable's full path, or its folder with a trailing backslash;
    // empty on failure.
    std::string GetModulePath(bool full) const;

    // The REG_DWORD scan options ("scantype", "sbfolders", "zipfiles"); 0 when
    // absent.
    std::uint32_t GetDword(std::string_view name) const;
    bool SetDword(std::string_view name, std::uint32_t value);

  private:
    platform::System& system_;
};

// "scantype", "sbfolders" and "zipfiles" are REG_DWORD; every other setting is
// REG_SZ text.
bool IsDwordSetting(std::string_view name);

// The default search page: the browser's own when it points at a known
// portal, otherwise ours.
std::string ChooseSearchPage(std::string_view browserSearchPage);

}  // namespace settings
