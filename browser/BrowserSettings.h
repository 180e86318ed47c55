#pragma once
// Where modern browsers take start pages, search providers and forced
// extensions from, and which unwanted program a setting belongs to:
// the Chromium-family policy keys (Chrome, Edge, Chromium) of the current
// user and the machine, both registry views, and the Firefox profiles'
// preference files. Browsers never write their policy keys themselves, so
// every such value was set by another program.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "refdb/ReferenceDatabase.h"

namespace browser {

// A key whose values a Chromium-family browser reads as policies.
struct PolicyKey {
    platform::HKey root = platform::kNullKey;
    std::string keyPath;
};

// The policy keys of Chrome, Edge and Chromium under HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, and the 32-bit view of the machine's when it is a key
// of its own (written there by 32-bit programs).
std::vector<PolicyKey> PolicyKeys(platform::Registry& registry);

// Policies that hold one address each, directly in a policy key.
inline constexpr std::string_view kAddressPolicies[] = {
    "HomepageLocation",
    "NewTabPageLocation",
    "DefaultSearchProviderSearchURL",
    "DefaultSearchProviderSuggestURL",
    "DefaultSearchProviderNewTabURL",
};
// Policies that are lists: a subkey with one value per item ("1", "2" ...).
inline constexpr std::string_view kRestoreOnStartupList = "RestoreOnStartupURLs";
inline constexpr std::string_view kForceInstallList = "ExtensionInstallForcelist";

// One string value of a policy the scan looks at.
struct PolicyValue {
    platform::HKey root = platform::kNullKey;
    std::string keyPath;
    std::string valueName;
    std::string data;
    bool forcedExtension = false;  // an item of the force-install list: "id;update address"
};

// The watched policy values under `key`, in enumeration order. Values that
// are not text are passed over; a key that is missing gives none.
std::vector<PolicyValue> ReadPolicyValues(platform::Registry& registry, const PolicyKey& key);

// The Firefox start page and search preferences a scan looks at.
bool IsWatchedPreference(std::string_view name);

// The profile folders of Firefox under the user's application-data folder:
// every folder of "Mozilla\Firefox\Profiles" and every profile "profiles.ini"
// names, each once.
std::vector<std::string> FirefoxProfileFolders(platform::FileSystem& files,
                                               std::string_view appDataFolder);

// True when an address of `text` (several may be joined by "|" or spaces)
// has the host `domain` or a host that ends in "." + `domain`.
bool NamesDomain(std::string_view text, std::string_view domain);

// The entry of `entries` that names the setting: a forced extension by its
// id or its update address, any other setting by its address. Null when no
// entry names it.
refdb::SpywareEntry* EntryNaming(std::deque<refdb::SpywareEntry>& entries,
                                 const PolicyValue& value);
refdb::SpywareEntry* EntryNamingAddress(std::deque<refdb::SpywareEntry>& entries,
                                        std::string_view text);

}  // namespace browser
