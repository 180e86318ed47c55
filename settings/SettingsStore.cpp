#include "settings/SettingsStore.h"

#include <array>
#include <cstring>

#include "platform/ScopedKey.h"
#include "platform/Text.h"
#include "registry/RegistryHelper.h"
#include "settings/Strings.h"

namespace settings {

using platform::ScopedKey;

namespace {

constexpr platform::HKey kRoot = platform::kHkeyCurrentUser;

struct DefaultValue {
    const char* name;
    const char* value;
};

// The table in the order it is written; entries with a null value are derived
// at run time.
constexpr DefaultValue kDefaults[] = {
    {"pv", "5.0"},        {"df", strings::kDefaultReferenceFile},
    {"ras", nullptr},     {"sas", nullptr},
    {"mtst", "0"},        {"asl", "1"},
    {"abrs", "1"},        {"acu", "0"},
    {"clsshlds", "0"},    {"dntstrtshld", "0"},
    {"nowarn", "0"},      {"Schedule Scan", "0"},
    {"Weekly Scan", "0"}, {"Periodic", "0"},
    {"WeekDay", "0"},     {"Period", "0"},
    {"Time", "0"},        {"scantype", nullptr},
    {"firstrun", "0"},    {"shup", "1"},
    {"ghmpg", "1"},       {"hmpg", nullptr},
    {"rltime", "1"},      {"srchpge", nullptr},
    {"gfv", "1"},         {"iehj", "1"},
    {"hsts", "1"},        {"acbl", "0"},
    {"path", nullptr},    {"xpath", nullptr},
    {"lfp", nullptr},     {"rfp", nullptr},
};

}  // namespace

bool IsDwordSetting(std::string_view name) {
    return text::EqualsNoCase(name, "scantype") || text::EqualsNoCase(name, "sbfolders") ||
           text::EqualsNoCase(name, "zipfiles");
}

std::string ChooseSearchPage(std::string_view browserSearchPage) {
    // Case-sensitive on purpose: these are the portals the browser itself
    // writes in lower case.
    for (const char* portal : {"google.", "msn.", "microsoft.", "yahoo."}) {
        if (browserSearchPage.find(portal) != std::string_view::npos) {
            return std::string(browserSearchPage);
        }
    }
    return strings::kDefaultSearchPage;
}

bool SettingsStore::GetSetting(std::string_view name, std::string* value) const {
    if (name.empty())
        return false;
    ScopedKey key;
    if (ScopedKey::Open(system_.registry, kRoot, strings::kSettingsKey, platform::kKeyAllAccess,
                        &key) != platform::kSuccess) {
        return false;
    }
    std::array<char, kSettingBufferSize> buffer{};
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    if (system_.registry.QueryValue(key.get(), name, nullptr, buffer.data(), &size) !=
        platform::kSuccess) {
        return false;
    }
    std::string_view textRead(buffer.data(), size);
    // Values written with their terminating zero end there.
    if (std::size_t zero = textRead.find('\0'); zero != std::string_view::npos) {
        textRead = textRead.substr(0, zero);
    } else if (size >= buffer.size()) {
        // A full buffer leaves no room for the terminator: too long to be a
        // setting.
        return false;
    }
    value->assign(textRead);
    return true;
}

bool SettingsStore::SetSetting(std::string_view name, std::string_view value) {
    if (name.empty())
        return false;
    ScopedKey key;
    if (ScopedKey::Open(system_.registry, kRoot, strings::kSettingsKey, platform::kKeyAllAccess,
                        &key) != platform::kSuccess) {
        return false;
    }
    return system_.registry.SetValue(key.get(), name, platform::kRegSz, value.data(),
                                     static_cast<std::uint32_t>(value.size())) ==
           platform::kSuccess;
}

bool SettingsStore::IsOn(std::string_view name) const {
    std::string value;
    return GetSetting(name, &value) && value == "1";
}

bool SettingsStore::SetRunEntry(std::string_view name, std::string_view commandLine) {
    if (name.empty() || commandLine.empty())
        return false;
    CRegistryHelper helper(system_.registry);
    return helper.SetString(kRoot, strings::kRunKey, name, commandLine);
}

bool SettingsStore::DeleteRunEntry(std::string_view name) {
    CRegistryHelper helper(system_.registry);
    return helper.DeleteValue(kRoot, strings::kRunKey, name) == platform::kSuccess;
}

bool SettingsStore::IsFirstRun() {
    std::string value;
    if (!GetSetting("firstrun", &value))
        return true;
    if (text::EqualsNoCase(value, "1")) {
        SetSetting("firstrun", "0");
        return true;
    }
    return false;
}

bool SettingsStore::WriteDefaultSettings() {
    platform::Registry& registry = system_.registry;
    {
        ScopedKey software;
        if (ScopedKey::Open(registry, kRoot, "SOFTWARE", platform::kKeyAllAccess, &software) !=
            platform::kSuccess) {
            return false;
        }
        platform::HKey created = platform::kNullKey;
        if (registry.CreateKey(software.get(), strings::kSettingsKeyName,
                               platform::kRegOptionNonVolatile, platform::kKeyAllAccess, &created,
                               nullptr) != platform::kSuccess) {
            return false;
        }
        registry.CloseKey(created);
    }

    CRegistryHelper helper(registry);
    std::string folder = std::string(text::ParentPath(GetModulePath(true)));
    std::string bareFolder = text::WithoutTrailingBackslash(folder);

    // "ras" and "sas" say what the Run entry does. It may exist before the
    // first run (the installer's "start with Windows"), and a "0" beside it
    // would make the next OK in the preferences delete it.
    const std::string runEntry =
        helper.QueryString(kRoot, strings::kRunKey, strings::kRunEntryName, "");
    const bool runsAtStartup = !runEntry.empty();
    const bool scansAtStartup = runsAtStartup && runEntry.ends_with(" :Scan:");

    for (const DefaultValue& entry : kDefaults) {
        std::string_view name = entry.name;
        if (entry.value != nullptr) {
            SetSetting(name, entry.value);
        } else if (name == "ras") {
            SetSetting(name, runsAtStartup ? "1" : "0");
        } else if (name == "sas") {
            SetSetting(name, scansAtStartup ? "1" : "0");
        } else if (name == "scantype") {
            helper.SetDword(kRoot, strings::kSettingsKey, "scantype", 1);
        } else if (name == "hmpg") {
            SetSetting(name, helper.QueryString(kRoot, strings::kBrowserMainKey, "Start Page", ""));
        } else if (name == "srchpge") {
            SetSetting(name, ChooseSearchPage(helper.QueryString(kRoot, strings::kBrowserMainKey,
                                                                 "Search Page", "")));
        } else if (name == "path") {
            SetSetting(name, folder);
        } else if (name == "xpath") {
            SetSetting(name, bareFolder + "\\xblk.bx");
        } else if (name == "lfp") {
            std::string logs = folder + "\\logs";
            // An existing folder is fine; any other failure shows up when a
            // log is written there.
            system_.files.CreateDirectory(logs);
            SetSetting(name, logs);
        } else if (name == "rfp") {
            SetSetting(name, folder + "\\" + strings::kDefaultReferenceFile);
        }
    }
    return true;
}

std::string SettingsStore::GetModulePath(bool full) const {
    std::string path = system_.processes.ModuleFileName();
    if (path.empty() || full)
        return path;
    std::size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos)
        return {};
    return path.substr(0, slash + 1);
}

std::uint32_t SettingsStore::GetDword(std::string_view name) const {
    CRegistryHelper helper(system_.registry);
    return helper.QueryDword(kRoot, strings::kSettingsKey, name, 0);
}

bool SettingsStore::SetDword(std::string_view name, std::uint32_t value) {
    CRegistryHelper helper(system_.registry);
    return helper.SetDword(kRoot, strings::kSettingsKey, name, value);
}

}  // namespace settings
