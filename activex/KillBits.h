#pragma once
// The browser's kill bits: "Compatibility Flags" 0x400 under a class
// identifier's key in HKEY_LOCAL_MACHINE's "ActiveX Compatibility" key stops
// the browser from loading that control; "SystemSet" 11 marks an identifier
// the user exempted. On 64-bit Windows a 32-bit browser reads the 32-bit
// view of that key (Wow6432Node), so both views are written, each by the
// same rules.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace activex {

inline constexpr const char* kCompatibilityKey =
    "Software\\Microsoft\\Internet Explorer\\ActiveX Compatibility";
inline constexpr const char* kFlagsValue = "Compatibility Flags";
inline constexpr const char* kSystemSetValue = "SystemSet";
inline constexpr std::uint32_t kKillBit = 0x400;
inline constexpr std::uint32_t kExempted = 11;

// A class identifier in registry form: braces around 8-4-4-4-12 hexadecimal
// digits. Anything else would name some other key below the compatibility
// key (or the key itself), so nothing is written for it.
bool IsClassIdentifier(std::string_view text);

struct RegistryView {
    std::uint32_t flag;  // kKeyWow64_64Key or kKeyWow64_32Key
    const char* name;    // "64-bit" or "32-bit"
};

// What one view holds for a class identifier.
struct KillBitState {
    bool keyExists = false;
    std::optional<std::uint32_t> flags;      // "Compatibility Flags"
    std::optional<std::uint32_t> systemSet;  // "SystemSet"
};

class KillBits {
  public:
    explicit KillBits(platform::Registry& registry);

    // The native view, and the 32-bit one where it is a key of its own.
    const std::vector<RegistryView>& views() const { return views_; }

    // `IsExcepted`: "SystemSet" is exactly 11 (absent reads as 0) in some view.
    bool IsExcepted(std::string_view classId) const;
    // `SetKillBit`: on writes 0x400 in every view that is not exempted; off
    // writes 0 in every view, exempted or not. Keys are created as needed.
    // False when the identifier is not one or a write failed (without
    // administrator rights, say); the other views are still written.
    bool SetKillBit(std::string_view classId, bool on);
    // `SetException`: yes writes "Compatibility Flags" 0 and then "SystemSet"
    // 11; no writes "SystemSet" 0 and leaves the kill bit as it is.
    bool SetException(std::string_view classId, bool exempt);

    KillBitState Read(std::string_view classId, const RegistryView& view) const;

  private:
    std::optional<std::uint32_t> ReadDword(std::string_view classId, const RegistryView& view,
                                           std::string_view name) const;
    bool WriteDword(std::string_view classId, const RegistryView& view, std::string_view name,
                    std::uint32_t value);
    bool IsExceptedIn(std::string_view classId, const RegistryView& view) const;

    platform::Registry& registry_;
    std::vector<RegistryView> views_;
};

}  // namespace activex
