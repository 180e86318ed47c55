#include "scan/RegistryChecks.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/ScopedKey.h"
#include "platform/Text.h"
#include "registry/RegistryKey.h"
#include "scan/FileChecks.h"

namespace scan {

namespace {

using platform::HKey;

// Registry data the checks read directly is limited to MAX_PATH bytes; a
// value holding more does not count.
constexpr std::uint32_t kSmallValueSize = 260;
// The longest names Windows allows, in UTF-16 units.
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr std::size_t kMaxKeyNameLength = 255;

constexpr std::string_view kKnownLocationText = "Scanning Known Spyware Locations : ";

std::string Location(HKey root, std::string_view keyPath) {
    std::string out = refdb::RootName(root);
    out += '\\';
    out += keyPath;
    return out;
}

std::string Location(HKey root, std::string_view keyPath, std::string_view valueName) {
    std::string out = Location(root, keyPath);
    out += '\\';
    out += valueName;
    return out;
}

// The bytes up to the first zero: stored text may or may not carry its
// terminator.
std::string TextUpToZero(const std::uint8_t* data, std::size_t size) {
    const std::uint8_t* end = std::find(data, data + size, std::uint8_t{0});
    return std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(end - data));
}

// Length of a UTF-8 name in UTF-16 units, the unit Windows limits names in.
std::size_t Utf16Length(std::string_view name) {
    std::size_t units = 0;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0u) != 0x80u) {
            units += byte >= 0xF0u ? 2 : 1;
        }
    }
    return units;
}

// Present when the key opens with all access rights; a key that exists but
// refuses them counts as absent.
bool KeyIsPresent(platform::Registry& registry, HKey root, std::string_view keyPath) {
    if (root == platform::kNullKey) {
        return false;
    }
    platform::ScopedKey key;
    return platform::ScopedKey::Open(registry, root, keyPath, platform::kKeyAllAccess, &key) ==
           platform::kSuccess;
}

struct SmallValue {
    std::uint32_t type = platform::kRegNone;
    std::vector<std::uint8_t> data;
};

// Present when the key opens with all access rights and the value fits into
// the small buffer.
bool ReadSmallValue(platform::Registry& registry, HKey root, std::string_view keyPath,
                    std::string_view valueName, SmallValue* out) {
    if (root == platform::kNullKey) {
        return false;
    }
    platform::ScopedKey key;
    if (platform::ScopedKey::Open(registry, root, keyPath, platform::kKeyAllAccess, &key) !=
        platform::kSuccess) {
        return false;
    }
    std::array<std::uint8_t, kSmallValueSize> buffer{};
    std::uint32_t size = kSmallValueSize;
    std::uint32_t type = platform::kRegNone;
    if (registry.QueryValue(key.get(), valueName, &type, buffer.data(), &size) !=
        platform::kSuccess) {
        return false;
    }
    out->type = type;
    out->data.assign(buffer.begin(), buffer.begin() + std::min(size, kSmallValueSize));
    return true;
}

// Text values compare as text, 32-bit numbers as their signed decimal text;
// every other type never matches.
bool DataMatches(std::uint32_t type, const std::vector<std::uint8_t>& data,
                 std::string_view listed) {
    if (type == platform::kRegSz) {
        return text::EqualsNoCase(TextUpToZero(data.data(), data.size()), listed);
    }
    if (type == platform::kRegDword) {
        std::int32_t number = 0;
        if (data.size() < sizeof number) {
            return false;
        }
        std::memcpy(&number, data.data(), sizeof number);
        return text::EqualsNoCase(std::to_string(number), listed);
    }
    return false;
}

// The first value of the key, in enumeration order, whose data matches.
bool FindMatchingValue(ScanContext& context, const refdb::RegDataItem& item,
                       std::string* matchedName) {
    if (item.root == platform::kNullKey) {
        return false;
    }
    try {
        CRegistryKey key(context.system.registry, item.root, item.keyPath, platform::kKeyAllAccess);
        for (auto it = key.BeginValueIteration(); it != key.EndValueIteration(); ++it) {
            if (context.Stopped()) {
                return false;
            }
            const CRegistryKey::Value value = *it;
            if (DataMatches(value.GetType(), value.GetData(), item.data)) {
                *matchedName = value.GetName();
                return true;
            }
        }
    } catch (const CRegistryKey::Exception&) {
        // A key that cannot be opened or walked holds no match.
    }
    return false;
}

bool MatchData(ScanContext& context, const refdb::RegDataItem& item, std::string* matchedName) {
    if (text::EqualsNoCase(item.valueName, "*")) {
        return FindMatchingValue(context, item, matchedName);
    }
    SmallValue value;
    return ReadSmallValue(context.system.registry, item.root, item.keyPath, item.valueName,
                          &value) &&
           DataMatches(value.type, value.data, item.data);
}

// Compares the checksum of the program at `path` with the references and
// reports every listed file it equals (only the first with `firstOnly`).
void MatchProgram(ScanContext& context, const std::string& path, const ChecksumRefs& checksums,
                  bool firstOnly) {
    // A checksum is only worth computing when something could match it.
    if (checksums.empty() || !context.system.files.Exists(path)) {
        return;
    }
    const std::string md5 = FileChecksum(context.system.files, path, context.checksumBuffer);
    if (md5.empty()) {
        return;
    }
    for (const refdb::ChecksumRef& ref : checksums) {
        if (context.Stopped()) {
            return;
        }
        if (ref.entry == nullptr || ref.file == nullptr || !text::EqualsNoCase(md5, ref.md5())) {
            continue;
        }
        ReportFoundAtPlace(context, *ref.entry, *ref.file, path);
        if (firstOnly) {
            return;
        }
    }
}

// The default value of a class key as text; empty when it cannot be read.
std::string ServerText(platform::Registry& registry, std::string_view keyPath, std::uint32_t view) {
    try {
        CRegistryKey key(registry, platform::kHkeyClassesRoot, keyPath,
                         platform::kKeyQueryValue | view);
        const CRegistryKey::Value value = key.QueryValue("");
        return TextUpToZero(value.GetData().data(), value.GetData().size());
    } catch (const CRegistryKey::Exception&) {
        return std::string();
    }
}

// `view` (0, kKeyWow64_64Key or kKeyWow64_32Key) is added to every key
// opened, the class registrations included: a 32-bit program lists its
// class in the 32-bit view and registers it there too.
void CheckClassServerIn(ScanContext& context, std::string_view classId,
                        const ChecksumRefs& checksums, std::uint32_t view) {
    for (std::string_view server : {"InprocServer32", "LocalServer32"}) {
        if (context.Stopped()) {
            return;
        }
        std::string keyPath = "CLSID\\";
        keyPath += classId;
        keyPath += '\\';
        keyPath += server;
        const std::string program = ServerText(context.system.registry, keyPath, view);
        if (!program.empty()) {
            MatchProgram(context, ResolveProgramPath(context.system, program), checksums, true);
        }
    }
}

// Opens a known location with full access; a location that cannot be opened
// that way is skipped.
bool OpenKnownLocation(ScanContext& context, HKey root, std::string_view keyPath,
                       std::uint32_t view, CRegistryKey* key) {
    try {
        *key = CRegistryKey(context.system.registry, root, keyPath, platform::kKeyAllAccess | view);
        return true;
    } catch (const CRegistryKey::Exception&) {
        return false;
    }
}

bool CheckKnownValueNamesIn(ScanContext& context, HKey root, std::string_view keyPath,
                            bool namesArePaths, const ChecksumRefs& checksums, std::uint32_t view) {
    CRegistryKey key;
    if (!OpenKnownLocation(context, root, keyPath, view, &key)) {
        return false;
    }
    try {
        for (auto it = key.BeginValueIteration(); it != key.EndValueIteration(); ++it) {
            if (context.Stopped()) {
                break;
            }
            const std::string name = it.GetName();
            if (Utf16Length(name) > kMaxValueNameLength) {
                continue;
            }
            std::string progress(kKnownLocationText);
            progress += name;
            context.ReportProgress(progress);
            if (namesArePaths) {
                MatchProgram(context, ResolveProgramPath(context.system, name), checksums, false);
            } else {
                CheckClassServerIn(context, name, checksums, view);
            }
        }
    } catch (const CRegistryKey::Exception&) {
        // The key changed or failed while walked: what was seen was checked.
    }
    return true;
}

bool CheckKnownSubkeysIn(ScanContext& context, HKey root, std::string_view keyPath,
                         const ChecksumRefs& checksums, std::uint32_t view) {
    CRegistryKey key;
    if (!OpenKnownLocation(context, root, keyPath, view, &key)) {
        return false;
    }
    try {
        for (auto it = key.BeginSubkeyIteration(); it != key.EndSubkeyIteration(); ++it) {
            if (context.Stopped()) {
                break;
            }
            const std::string name = *it;
            if (Utf16Length(name) > kMaxKeyNameLength) {
                continue;
            }
            CheckClassServerIn(context, name, checksums, view);
        }
    } catch (const CRegistryKey::Exception&) {
        // The key changed or failed while walked: what was seen was checked.
    }
    return true;
}

bool CheckRunKeyIn(ScanContext& context, HKey root, std::string_view keyPath,
                   const ChecksumRefs& checksums, std::uint32_t view) {
    CRegistryKey key;
    if (!OpenKnownLocation(context, root, keyPath, view, &key)) {
        return false;
    }
    try {
        for (auto it = key.BeginValueIteration(); it != key.EndValueIteration(); ++it) {
            if (context.Stopped()) {
                break;
            }
            // A command line longer than the small buffer cannot be read,
            // the same as for the value test.
            if (it.GetSize() > kSmallValueSize) {
                continue;
            }
            const CRegistryKey::Value value = *it;
            const std::string program = ResolveProgramPath(
                context.system, TextUpToZero(value.GetData().data(), value.GetData().size()));
            std::string progress(kKnownLocationText);
            progress += program;
            context.ReportProgress(progress);
            MatchProgram(context, program, checksums, false);
        }
    } catch (const CRegistryKey::Exception&) {
        // The key changed or failed while walked: what was seen was checked.
    }
    return true;
}

enum class LocationCheck { kSubkeysAsClassIds, kNamesAsClassIds, kRunKey, kNamesAsPaths };

struct KnownLocation {
    HKey root;
    const char* keyPath;
    LocationCheck check;
};

constexpr KnownLocation kKnownLocations[] = {
    {platform::kHkeyLocalMachine,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects",
     LocationCheck::kSubkeysAsClassIds},
    {platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar",
     LocationCheck::kNamesAsClassIds},
    {platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer\\UrlSearchHooks",
     LocationCheck::kNamesAsClassIds},
    {platform::kHkeyLocalMachine,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
     LocationCheck::kNamesAsClassIds},
    {platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
     LocationCheck::kRunKey},
    {platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
     LocationCheck::kRunKey},
    {platform::kHkeyCurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
     LocationCheck::kRunKey},
    {platform::kHkeyCurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
     LocationCheck::kRunKey},
    {platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Code Store Database\\Distribution Units",
     LocationCheck::kSubkeysAsClassIds},
    {platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
     LocationCheck::kNamesAsPaths},
};

void CheckLocation(ScanContext& context, const KnownLocation& location,
                   const ChecksumRefs& checksums, std::uint32_t view) {
    switch (location.check) {
        case LocationCheck::kSubkeysAsClassIds:
            CheckKnownSubkeysIn(context, location.root, location.keyPath, checksums, view);
            break;
        case LocationCheck::kNamesAsClassIds:
            CheckKnownValueNamesIn(context, location.root, location.keyPath, false, checksums,
                                   view);
            break;
        case LocationCheck::kRunKey:
            CheckRunKeyIn(context, location.root, location.keyPath, checksums, view);
            break;
        case LocationCheck::kNamesAsPaths:
            CheckKnownValueNamesIn(context, location.root, location.keyPath, true, checksums, view);
            break;
    }
}

}  // namespace

bool CheckRegistryKeys(ScanContext& context, refdb::SpywareEntry& entry) {
    for (refdb::RegKeyItem& item : entry.regKeys) {
        if (context.Stopped()) {
            break;
        }
        if (KeyIsPresent(context.system.registry, item.root, item.keyPath)) {
            item.detected = true;
            entry.detected = true;
            context.observer.OnRegKey(entry, item);
        } else {
            item.detected = false;
        }
        context.ReportProgress(Location(item.root, item.keyPath));
    }
    return true;
}

bool CheckRegistryValues(ScanContext& context, refdb::SpywareEntry& entry) {
    for (refdb::RegValueItem& item : entry.regValues) {
        if (context.Stopped()) {
            break;
        }
        SmallValue value;
        if (ReadSmallValue(context.system.registry, item.root, item.keyPath, item.valueName,
                           &value)) {
            item.detected = true;
            entry.detected = true;
            context.observer.OnRegValue(entry, item);
        } else {
            item.detected = false;
        }
        context.ReportProgress(Location(item.root, item.keyPath, item.valueName));
    }
    return true;
}

bool CheckRegistryData(ScanContext& context, refdb::SpywareEntry& entry) {
    for (refdb::RegDataItem& item : entry.regData) {
        if (context.Stopped()) {
            break;
        }
        item.matchedName = item.valueName;
        std::string matchedName = item.valueName;
        if (MatchData(context, item, &matchedName)) {
            item.matchedName = std::move(matchedName);
            item.detected = true;
            entry.detected = true;
            context.observer.OnRegData(entry, item);
        }
        std::string progress = Location(item.root, item.keyPath, item.valueName);
        progress += '\\';
        progress += item.data;
        context.ReportProgress(progress);
    }
    return true;
}

bool CheckKnownValueNames(ScanContext& context, platform::HKey root, std::string_view keyPath,
                          bool namesArePaths, const ChecksumRefs& checksums) {
    return CheckKnownValueNamesIn(context, root, keyPath, namesArePaths, checksums, 0);
}

bool CheckKnownSubkeys(ScanContext& context, platform::HKey root, std::string_view keyPath,
                       const ChecksumRefs& checksums) {
    return CheckKnownSubkeysIn(context, root, keyPath, checksums, 0);
}

bool CheckRunKey(ScanContext& context, platform::HKey root, std::string_view keyPath,
                 const ChecksumRefs& checksums) {
    return CheckRunKeyIn(context, root, keyPath, checksums, 0);
}

void CheckClassServer(ScanContext& context, std::string_view classId,
                      const ChecksumRefs& checksums) {
    CheckClassServerIn(context, classId, checksums, 0);
}

void CheckKnownLocations(ScanContext& context, const ChecksumRefs& checksums) {
    for (const KnownLocation& location : kKnownLocations) {
        if (context.Stopped()) {
            return;
        }
        CheckLocation(context, location, checksums, platform::kKeyWow64_64Key);
    }
    // 32-bit programs on 64-bit Windows register in the 32-bit view, which
    // the locations above do not see; HKEY_CURRENT_USER\SOFTWARE is shared
    // by both views, so only the machine-wide locations are read again.
    if (!platform::Has32BitView(context.system.registry)) {
        return;
    }
    for (const KnownLocation& location : kKnownLocations) {
        if (location.root != platform::kHkeyLocalMachine) {
            continue;
        }
        if (context.Stopped()) {
            return;
        }
        CheckLocation(context, location, checksums, platform::kKeyWow64_32Key);
    }
}

std::string ResolveProgramPath(platform::System& system, std::string_view programText) {
    std::string expanded;
    if (!system.environment.ExpandEnvironmentStrings(programText, &expanded)) {
        expanded = std::string(programText);
    }
    if (system.files.Exists(expanded)) {
        return expanded;
    }
    for (const std::string& folder :
         {system.environment.WindowsFolder(), system.environment.SystemFolder()}) {
        std::string candidate = folder;
        candidate += '\\';
        candidate += programText;
        if (system.files.Exists(candidate)) {
            return candidate;
        }
    }
    // Not found; the caller's checksum match will not find it either.
    return expanded;
}

}  // namespace scan
