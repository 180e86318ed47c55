#pragma once
// The registry as the logic sees it: the Win32 registry calls with their
// semantics and error codes, names and string data as UTF-8.
#include <cstdint>
#include <string_view>

#include "platform/Win32Error.h"

namespace platform {

// An open key. The predefined roots carry the values Windows gives them
// (sign-extended, as HKEY is a pointer on 64-bit Windows).
using HKey = std::uintptr_t;

constexpr HKey PredefinedKey(std::uint32_t value) {
    return static_cast<HKey>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}
inline constexpr HKey kNullKey = 0;
inline constexpr HKey kHkeyClassesRoot = PredefinedKey(0x80000000u);
inline constexpr HKey kHkeyCurrentUser = PredefinedKey(0x80000001u);
inline constexpr HKey kHkeyLocalMachine = PredefinedKey(0x80000002u);
inline constexpr HKey kHkeyUsers = PredefinedKey(0x80000003u);

// "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE" or
// "HKEY_USERS" for the predefined roots; empty (a zero-terminated "") for any
// other key.
constexpr std::string_view RootName(HKey root) {
    if (root == kHkeyClassesRoot)
        return "HKEY_CLASSES_ROOT";
    if (root == kHkeyCurrentUser)
        return "HKEY_CURRENT_USER";
    if (root == kHkeyLocalMachine)
        return "HKEY_LOCAL_MACHINE";
    if (root == kHkeyUsers)
        return "HKEY_USERS";
    return "";
}

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Access rights.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyNotify = 0x0010;
inline constexpr std::uint32_t kKeyWow64_64Key = 0x0100;
inline constexpr std::uint32_t kKeyWow64_32Key = 0x0200;
inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

// RegCreateKeyEx options.
inline constexpr std::uint32_t kRegOptionNonVolatile = 0;
inline constexpr std::uint32_t kRegOptionVolatile = 1;

// RegNotifyChangeKeyValue filters.
inline constexpr std::uint32_t kNotifyChangeName = 0x1;
inline constexpr std::uint32_t kNotifyChangeAttributes = 0x2;
inline constexpr std::uint32_t kNotifyChangeLastSet = 0x4;
inline constexpr std::uint32_t kNotifyChangeSecurity = 0x8;

// What RegQueryInfoKey reports. Lengths are UTF-8 byte counts without the
// terminating zero (an implementation may report more than the exact longest
// length, never less); data lengths are byte counts.
struct KeyInfo {
    std::uint32_t subKeys = 0;
    std::uint32_t maxSubKeyLen = 0;
    std::uint32_t maxClassLen = 0;
    std::uint32_t values = 0;
    std::uint32_t maxValueNameLen = 0;
    std::uint32_t maxValueLen = 0;
};

// Every operation returns a Win32 error code (kSuccess on success).
//
// Buffers follow the Win32 rules: a size argument holds the capacity on entry
// and the stored (or, with kErrorMoreData, the needed) size on return. Name
// sizes count bytes; on entry they include room for the terminating zero, on
// return they exclude it. String data (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is
// UTF-8 and keeps whatever terminating zero the writer stored.
class Registry {
  public:
    virtual ~Registry() = default;

    // RegOpenKeyEx. An empty subKey opens a new handle to `parent` itself.
    virtual Status OpenKey(HKey parent, std::string_view subKey, std::uint32_t access,
                           HKey* result) = 0;
    // RegCreateKeyEx: creates missing keys along the path; `created` (may be
    // null) tells whether the last key was new.
    virtual Status CreateKey(HKey parent, std::string_view subKey, std::uint32_t options,
                             std::uint32_t access, HKey* result, bool* created) = 0;
    // RegCloseKey. Closing a predefined root succeeds and does nothing.
    virtual Status CloseKey(HKey key) = 0;

    // RegQueryValueEx. `type`, `data` and `size` may each be null; with data
    // null only the type and size are reported.
    virtual Status QueryValue(HKey key, std::string_view name, std::uint32_t* type, void* data,
                              std::uint32_t* size) = 0;
    // RegSetValueEx: stores exactly `size` bytes.
    virtual Status SetValue(HKey key, std::string_view name, std::uint32_t type, const void* data,
                            std::uint32_t size) = 0;
    // RegDeleteValue.
    virtual Status DeleteValue(HKey key, std::string_view name) = 0;
    // RegDeleteKey: refuses a key that has subkeys with kErrorAccessDenied.
    virtual Status DeleteKey(HKey parent, std::string_view subKey) = 0;

    // RegEnumKeyEx: subkeys in case-insensitive alphabetical order. `className`
    // and `classSize` may be null.
    virtual Status EnumKey(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                           char* className, std::uint32_t* classSize) = 0;
    // RegEnumValue: values in creation order. `type`, `data` and `dataSize` may
    // be null.
    virtual Status EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                             std::uint32_t* type, void* data, std::uint32_t* dataSize) = 0;
    // RegQueryInfoKey.
    virtual Status QueryInfoKey(HKey key, KeyInfo* info) = 0;

    // RegNotifyChangeKeyValue without an event: blocks until the key (or, with
    // watchSubtree, anything below it) changes as `filter` says, or the handle
    // is closed.
    virtual Status NotifyChangeKeyValue(HKey key, bool watchSubtree, std::uint32_t filter) = 0;

    // RegConnectRegistry. An implementation may answer kErrorNotSupported.
    virtual Status ConnectRegistry(std::string_view machine, HKey root, HKey* result) = 0;
};

}  // namespace platform
