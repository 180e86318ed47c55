#include "browser/BrowserSettings.h"

#include <algorithm>
#include <set>

#include "platform/ScopedKey.h"
#include "platform/Text.h"

namespace browser {
namespace {

constexpr std::string_view kBrowserPolicyPaths[] = {
    "Policies\\Google\\Chrome",
    "Policies\\Microsoft\\Edge",
    "Policies\\Chromium",
};

constexpr std::string_view kWatchedPreferences[] = {
    "browser.startup.homepage",
    "browser.newtab.url",
    "browser.search.defaultenginename",
    "browser.search.selectedEngine",
    "browser.search.defaulturl",
    "browser.search.order.1",
    "keyword.URL",
};

// Text of REG_SZ / REG_EXPAND_SZ data without the terminating zeros.
std::string TextOf(const std::vector<char>& data, std::uint32_t size) {
    std::string text(data.data(), std::min<std::size_t>(size, data.size()));
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

// Appends every text value of the open key to `out`.
void ReadTextValues(platform::Registry& registry, platform::HKey key, const PolicyKey& where,
                    std::string_view keyPath, std::string_view onlyName, bool forcedExtension,
                    std::vector<PolicyValue>& out) {
    platform::KeyInfo info;
    if (registry.QueryInfoKey(key, &info) != platform::kSuccess)
        return;
    std::vector<char> name(static_cast<std::size_t>(info.maxValueNameLen) + 2);
    std::vector<char> data(static_cast<std::size_t>(info.maxValueLen) + 2);
    for (std::uint32_t index = 0;;) {
        std::uint32_t nameSize = static_cast<std::uint32_t>(name.size());
        std::uint32_t dataSize = static_cast<std::uint32_t>(data.size());
        std::uint32_t type = 0;
        const platform::Status status =
            registry.EnumValue(key, index, name.data(), &nameSize, &type, data.data(), &dataSize);
        if (status == platform::kErrorMoreData) {
            // The value grew since the key was measured: measure again.
            name.resize(name.size() * 2 + 256);
            data.resize(std::max<std::size_t>(data.size() * 2, dataSize + 2));
            continue;
        }
        if (status != platform::kSuccess)
            return;
        ++index;
        if (type != platform::kRegSz && type != platform::kRegExpandSz)
            continue;
        const std::string valueName(name.data(), std::min<std::size_t>(nameSize, name.size()));
        if (!onlyName.empty() && !text::EqualsNoCase(valueName, onlyName))
            continue;
        out.push_back(
            {where.root, std::string(keyPath), valueName, TextOf(data, dataSize), forcedExtension});
    }
}

std::string_view HostOf(std::string_view address) {
    const std::size_t scheme = address.find("://");
    if (scheme != std::string_view::npos)
        address.remove_prefix(scheme + 3);
    const std::size_t at = address.find_first_of("/?#");
    address = address.substr(0, at);
    const std::size_t user = address.rfind('@');
    if (user != std::string_view::npos)
        address.remove_prefix(user + 1);
    const std::size_t port = address.find(':');
    address = address.substr(0, port);
    while (address.ends_with('.'))
        address.remove_suffix(1);
    return address;
}

bool HostMatches(std::string_view host, std::string_view domain) {
    if (domain.empty() || host.size() < domain.size())
        return false;
    if (host.size() == domain.size())
        return text::EqualsNoCase(host, domain);
    return host[host.size() - domain.size() - 1] == '.' && text::EndsWithNoCase(host, domain);
}

}  // namespace

std::vector<PolicyKey> PolicyKeys(platform::Registry& registry) {
    std::vector<PolicyKey> keys;
    for (std::string_view path : kBrowserPolicyPaths)
        keys.push_back({platform::kHkeyCurrentUser, "SOFTWARE\\" + std::string(path)});
    for (std::string_view path : kBrowserPolicyPaths)
        keys.push_back({platform::kHkeyLocalMachine, "SOFTWARE\\" + std::string(path)});
    // HKEY_CURRENT_USER\SOFTWARE is one key in both views.
    if (platform::Has32BitView(registry)) {
        for (std::string_view path : kBrowserPolicyPaths) {
            keys.push_back(
                {platform::kHkeyLocalMachine, "SOFTWARE\\Wow6432Node\\" + std::string(path)});
        }
    }
    return keys;
}

std::vector<PolicyValue> ReadPolicyValues(platform::Registry& registry, const PolicyKey& key) {
    std::vector<PolicyValue> values;
    platform::ScopedKey policies;
    if (platform::ScopedKey::Open(registry, key.root, key.keyPath,
                                  platform::kKeyRead | platform::kKeyWow64_64Key,
                                  &policies) != platform::kSuccess) {
        return values;
    }
    for (std::string_view name : kAddressPolicies)
        ReadTextValues(registry, policies.get(), key, key.keyPath, name, false, values);
    for (std::string_view list : {kRestoreOnStartupList, kForceInstallList}) {
        platform::ScopedKey items;
        if (platform::ScopedKey::Open(registry, policies.get(), list,
                                      platform::kKeyRead | platform::kKeyWow64_64Key,
                                      &items) != platform::kSuccess) {
            continue;
        }
        ReadTextValues(registry, items.get(), key, key.keyPath + "\\" + std::string(list), {},
                       list == kForceInstallList, values);
    }
    return values;
}

bool IsWatchedPreference(std::string_view name) {
    return std::any_of(std::begin(kWatchedPreferences), std::end(kWatchedPreferences),
                       [&](std::string_view watched) { return name == watched; });
}

std::vector<std::string> FirefoxProfileFolders(platform::FileSystem& files,
                                               std::string_view appDataFolder) {
    const std::string firefox = text::JoinPath(appDataFolder, "Mozilla\\Firefox");
    std::vector<std::string> folders;
    std::set<std::string, text::LessNoCase> seen;
    auto add = [&](std::string folder) {
        folder = text::WithoutTrailingBackslash(folder);
        if (files.IsDirectory(folder) && seen.insert(folder).second)
            folders.push_back(std::move(folder));
    };
    const std::string profiles = text::JoinPath(firefox, "Profiles");
    std::unique_ptr<platform::FileSearch> search = files.Find(text::JoinPath(profiles, "*"));
    platform::FindData found;
    while (search && search->Next(found)) {
        if (found.IsDirectory() && found.name != "." && found.name != "..")
            add(text::JoinPath(profiles, found.name));
    }
    std::string ini;
    if (files.ReadFile(text::JoinPath(firefox, "profiles.ini"), &ini) != platform::kSuccess)
        return folders;
    // [ProfileN] sections: Path=, relative to the Firefox folder with
    // IsRelative=1 (written with forward slashes).
    bool inProfile = false;
    bool relative = true;
    std::string path;
    auto endSection = [&] {
        if (inProfile && !path.empty()) {
            std::replace(path.begin(), path.end(), '/', '\\');
            add(relative ? text::JoinPath(firefox, path) : path);
        }
        inProfile = false;
        relative = true;
        path.clear();
    };
    std::size_t start = 0;
    while (start < ini.size()) {
        std::size_t end = ini.find('\n', start);
        if (end == std::string::npos)
            end = ini.size();
        const std::string_view line = text::Trim(std::string_view(ini).substr(start, end - start));
        start = end + 1;
        if (line.starts_with('[')) {
            endSection();
            inProfile = text::StartsWithNoCase(line, "[Profile");
        } else if (text::StartsWithNoCase(line, "Path=")) {
            path = std::string(line.substr(5));
        } else if (text::StartsWithNoCase(line, "IsRelative=")) {
            relative = line.substr(11) != "0";
        }
    }
    endSection();
    return folders;
}

bool NamesDomain(std::string_view text, std::string_view domain) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("| \t", start);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > start && HostMatches(HostOf(text.substr(start, end - start)), domain))
            return true;
        start = end + 1;
    }
    return false;
}

refdb::SpywareEntry* EntryNamingAddress(std::deque<refdb::SpywareEntry>& entries,
                                        std::string_view text) {
    for (refdb::SpywareEntry& entry : entries) {
        for (const std::string& domain : entry.hijackDomains) {
            if (NamesDomain(text, domain))
                return &entry;
        }
    }
    return nullptr;
}

refdb::SpywareEntry* EntryNaming(std::deque<refdb::SpywareEntry>& entries,
                                 const PolicyValue& value) {
    if (!value.forcedExtension)
        return EntryNamingAddress(entries, value.data);
    // "id" or "id;update address".
    const std::size_t semicolon = value.data.find(';');
    const std::string_view id = text::Trim(std::string_view(value.data).substr(0, semicolon));
    for (refdb::SpywareEntry& entry : entries) {
        for (const std::string& listed : entry.extensionIds) {
            if (text::EqualsNoCase(id, listed))
                return &entry;
        }
    }
    if (semicolon == std::string::npos)
        return nullptr;
    return EntryNamingAddress(entries, std::string_view(value.data).substr(semicolon + 1));
}

}  // namespace browser
