#include "cli/host/WindowsDisk.h"

#include <cstdio>
#include <map>

#include "platform/Text.h"

namespace cli {

namespace fs = std::filesystem;
using platform::HKey;

namespace {

constexpr const char* kProfileList = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

// A string value of the registry without its terminating zeros; empty when
// missing or not a string.
std::string QueryString(platform::Registry& reg, HKey root, const std::string& path,
                        const std::string& name, std::uint32_t* typeOut = nullptr) {
    HKey key = platform::kNullKey;
    if (reg.OpenKey(root, path, platform::kKeyQueryValue, &key) != platform::kSuccess)
        return {};
    std::uint32_t type = 0, size = 0;
    std::string data;
    if (reg.QueryValue(key, name, &type, nullptr, &size) == platform::kSuccess) {
        data.resize(size);
        if (reg.QueryValue(key, name, &type, data.data(), &size) != platform::kSuccess)
            size = 0;
        data.resize(size);
    }
    reg.CloseKey(key);
    if (type != platform::kRegSz && type != platform::kRegExpandSz)
        return {};
    while (!data.empty() && data.back() == '\0')
        data.pop_back();
    if (typeOut != nullptr)
        *typeOut = type;
    return data;
}

std::vector<std::string> SubKeys(platform::Registry& reg, HKey root, const std::string& path) {
    std::vector<std::string> names;
    HKey key = platform::kNullKey;
    if (reg.OpenKey(root, path, platform::kKeyRead, &key) != platform::kSuccess)
        return names;
    for (std::uint32_t i = 0;; ++i) {
        char name[512];
        std::uint32_t size = sizeof(name);
        if (reg.EnumKey(key, i, name, &size, nullptr, nullptr) != platform::kSuccess)
            break;
        names.emplace_back(name, size);
    }
    reg.CloseKey(key);
    return names;
}

// Every string value of a key, in order, for environment blocks.
std::vector<std::pair<std::string, std::string>> StringValues(platform::Registry& reg, HKey root,
                                                              const std::string& path) {
    std::vector<std::pair<std::string, std::string>> values;
    HKey key = platform::kNullKey;
    if (reg.OpenKey(root, path, platform::kKeyRead, &key) != platform::kSuccess)
        return values;
    std::vector<std::string> names;
    for (std::uint32_t i = 0;; ++i) {
        char name[512];
        std::uint32_t size = sizeof(name);
        if (reg.EnumValue(key, i, name, &size, nullptr, nullptr, nullptr) != platform::kSuccess)
            break;
        names.emplace_back(name, size);
    }
    reg.CloseKey(key);
    for (const std::string& name : names) {
        std::string value = QueryString(reg, root, path, name);
        if (!name.empty() && !value.empty())
            values.emplace_back(name, value);
    }
    return values;
}

// "C:\Users\ann" -> "Users\ann"; empty when the path is not on drive C:.
std::string OnDriveC(const std::string& windowsPath) {
    if (windowsPath.size() < 2 || text::ToUpperAscii(windowsPath[0]) != 'C' ||
        windowsPath[1] != ':')
        return {};
    std::string rest = windowsPath.substr(2);
    while (!rest.empty() && rest.front() == '\\')
        rest.erase(rest.begin());
    return rest.empty() ? std::string(".") : rest;
}

}  // namespace

fs::path FindNoCase(const fs::path& base, std::string_view relative) {
    fs::path path = base;
    for (std::string_view part : text::Split(relative, '\\')) {
        if (part.empty() || part == ".")
            continue;
        std::error_code ec;
        fs::path exact = path / std::string(part);
        if (fs::exists(exact, ec)) {
            path = exact;
            continue;
        }
        fs::path found;
        for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (text::EqualsNoCase(name, part) &&
                (found.empty() || name < found.filename().string()))
                found = it->path();
        }
        if (found.empty())
            return {};
        path = found;
    }
    return path;
}

bool WindowsDisk::Mount(const fs::path& file, platform::host::MemoryRegistry& registry, HKey root,
                        const std::string& keyPath, bool required, std::string* error) {
    if (file.empty()) {
        if (required)
            *error = "No " + keyPath + " hive on the disk";
        return !required;
    }
    auto hive = std::make_unique<platform::host::MountedHive>();
    if (!hive->Open(file.string(), error))
        return false;
    std::map<std::string, std::string> aliases;
    if (keyPath == "SYSTEM") {
        // CurrentControlSet is the control set that "Select" names.
        std::uint32_t current = 1;
        hive->ReadDword("Select", "Current", &current);
        char name[32];
        std::snprintf(name, sizeof(name), "ControlSet%03u", static_cast<unsigned>(current % 1000));
        aliases[name] = "CurrentControlSet";
    }
    if (!readOnly_ && !hive->CleanlyClosed()) {
        *error = file.string() +
                 ": Windows did not close this hive cleanly (its log files hold changes "
                 "that would be lost); start that Windows once, or use --read-only";
        return false;
    }
    if (!hive->Load(registry, root, keyPath, std::move(aliases), error))
        return false;
    hives_.push_back(std::move(hive));
    return true;
}

bool WindowsDisk::Open(const fs::path& root, const std::string& user, bool readOnly,
                       platform::host::MemoryRegistry& registry,
                       platform::host::HostEnvironment& environment, std::string* error) {
    readOnly_ = readOnly;
    if (!fs::is_directory(root)) {
        *error = "--windows-disk: " + root.string() + " is not a folder";
        return false;
    }
    const fs::path config = FindNoCase(root, "Windows\\System32\\config");
    if (config.empty()) {
        *error = "--windows-disk: no Windows installation under " + root.string() +
                 " (Windows\\System32\\config is missing)";
        return false;
    }
    const HKey hklm = platform::kHkeyLocalMachine;
    if (!Mount(FindNoCase(config, "SOFTWARE"), registry, hklm, "SOFTWARE", true, error) ||
        !Mount(FindNoCase(config, "SYSTEM"), registry, hklm, "SYSTEM", true, error))
        return false;

    // The machine's variables, for the profile paths.
    environment.SetVariable("SystemDrive", "C:");
    std::string systemRoot = QueryString(
        registry, hklm, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "SystemRoot");
    if (OnDriveC(systemRoot).empty())
        systemRoot = "C:\\Windows";
    environment.SetVariable("SystemRoot", text::WithoutTrailingBackslash(systemRoot));
    const std::string currentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    for (const auto& [variable, value] :
         {std::pair<const char*, const char*>{"ProgramFiles", "ProgramFilesDir"},
          {"ProgramFiles(x86)", "ProgramFilesDir (x86)"},
          {"CommonProgramFiles", "CommonFilesDir"}}) {
        std::string folder = QueryString(registry, hklm, currentVersion, value);
        if (!folder.empty())
            environment.SetVariable(variable, folder);
    }
    auto expand = [&environment](const std::string& value) {
        std::string expanded;
        return environment.ExpandEnvironmentStrings(value, &expanded) ? expanded : value;
    };
    for (const auto& [variable, value] :
         {std::pair<const char*, const char*>{"ALLUSERSPROFILE", "ProgramData"},
          {"ProgramData", "ProgramData"},
          {"PUBLIC", "Public"}}) {
        std::string folder = QueryString(registry, hklm, kProfileList, value);
        if (!folder.empty())
            environment.SetVariable(variable, expand(folder));
    }

    // The accounts with a profile (the built-in service accounts have no
    // user hive worth scanning).
    std::vector<DiskUser> users;
    for (const std::string& sid : SubKeys(registry, hklm, kProfileList)) {
        if (!text::StartsWithNoCase(sid, "S-1-5-21-"))
            continue;
        std::string profile = text::WithoutTrailingBackslash(expand(QueryString(
            registry, hklm, std::string(kProfileList) + "\\" + sid, "ProfileImagePath")));
        if (profile.empty())
            continue;
        users.push_back({std::string(text::FileName(profile)), sid, profile});
    }
    std::string names;
    for (const DiskUser& u : users)
        names += (names.empty() ? "" : ", ") + u.name;
    const DiskUser* chosen = nullptr;
    if (user.empty()) {
        if (users.size() == 1)
            chosen = &users.front();
        else if (users.empty())
            *error = "--windows-disk: the profile list names no user";
        else
            *error = "--windows-disk: several users (" + names + "); choose one with --user NAME";
    } else {
        for (const DiskUser& u : users) {
            if (text::EqualsNoCase(u.name, user) || text::EqualsNoCase(u.sid, user))
                chosen = &u;
        }
        if (chosen == nullptr)
            *error = "--user: no user \"" + user + "\" on this disk (users: " + names + ")";
    }
    if (chosen == nullptr)
        return false;
    user_ = *chosen;

    const std::string profileOnDisk = OnDriveC(user_.profile);
    const fs::path profile = profileOnDisk.empty() ? fs::path() : FindNoCase(root, profileOnDisk);
    if (profile.empty()) {
        *error = "--windows-disk: the profile folder " + user_.profile + " of " + user_.name +
                 " is not on this disk";
        return false;
    }
    // HKEY_CURRENT_USER is the user's own hive; their classes are seen below
    // it, where Windows links them.
    const HKey hkcu = platform::kHkeyCurrentUser;
    if (!Mount(FindNoCase(profile, "NTUSER.DAT"), registry, hkcu, "", true, error))
        return false;
    const std::size_t userHive = hives_.size() - 1;
    if (!Mount(FindNoCase(profile, "AppData\\Local\\Microsoft\\Windows\\UsrClass.dat"), registry,
               hkcu, "Software\\Classes", false, error))
        return false;
    if (hives_.size() > userHive + 1)
        hives_[userHive]->Exclude("Software\\Classes");

    environment.SetUserSid(user_.sid);
    environment.SetVariable("USERNAME", user_.name);
    environment.SetVariable("USERPROFILE", user_.profile);
    environment.SetVariable("HOMEDRIVE", "C:");
    environment.SetVariable("HOMEPATH", user_.profile.substr(2));
    environment.SetVariable("APPDATA", user_.profile + "\\AppData\\Roaming");
    environment.SetVariable("LOCALAPPDATA", user_.profile + "\\AppData\\Local");
    environment.SetVariable("TEMP", user_.profile + "\\AppData\\Local\\Temp");
    environment.SetVariable("TMP", user_.profile + "\\AppData\\Local\\Temp");
    // The machine's variables, then the user's, as a logon builds them.
    for (const auto& [name, value] : StringValues(
             registry, hklm, "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"))
        environment.SetVariable(name, expand(value));
    for (const auto& [name, value] : StringValues(registry, hkcu, "Environment"))
        environment.SetVariable(name, expand(value));
    environment.ReadShellFoldersFrom(&registry);
    environment.SetVariable("APPDATA",
                            environment.ShellFolderPath(platform::ShellFolder::kAppData));
    environment.SetVariable("LOCALAPPDATA",
                            environment.ShellFolderPath(platform::ShellFolder::kLocalAppData));
    return true;
}

bool WindowsDisk::Save(platform::host::MemoryRegistry& registry, std::vector<std::string>* written,
                       std::string* error) {
    if (readOnly_)
        return true;
    bool ok = true;
    for (auto& hive : hives_) {
        bool changed = false;
        std::string why;
        if (!hive->Save(registry, &changed, &why)) {
            // The other hives are still written: they hold their own changes.
            *error += (error->empty() ? "" : "\n") + why;
            ok = false;
        } else if (changed && written != nullptr) {
            written->push_back(hive->file());
        }
    }
    return ok;
}

}  // namespace cli
