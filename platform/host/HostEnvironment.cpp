#include "platform/host/HostEnvironment.h"

namespace platform::host {

namespace {

constexpr std::string_view kExplorerKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";

// The value that names `folder` under the Explorer keys, and whether it is an
// all-users folder (kept under HKEY_LOCAL_MACHINE). The profile folder is no
// shell-folder value: it comes from the profile list, i.e. USERPROFILE.
struct FolderValue {
    const char* name;
    bool common;
};

FolderValue ValueOf(ShellFolder folder) {
    switch (folder) {
        case ShellFolder::kFavorites:
            return {"Favorites", false};
        case ShellFolder::kStartup:
            return {"Startup", false};
        case ShellFolder::kCommonStartup:
            return {"Common Startup", true};
        case ShellFolder::kAppData:
            return {"AppData", false};
        case ShellFolder::kLocalAppData:
            return {"Local AppData", false};
        case ShellFolder::kCookies:
            return {"Cookies", false};
        case ShellFolder::kProfile:
            break;
    }
    return {nullptr, false};
}

// A string value as stored, without its terminating zeros; false when it is
// missing, empty or not a string.
bool QueryStringValue(Registry& registry, HKey root, const std::string& path, const char* name,
                      std::string* value, std::uint32_t* type) {
    HKey key = kNullKey;
    if (registry.OpenKey(root, path, kKeyQueryValue, &key) != kSuccess)
        return false;
    std::string data;
    Status status = kErrorMoreData;
    for (int attempt = 0; attempt < 4 && status == kErrorMoreData; ++attempt) {
        std::uint32_t size = 0;
        if (registry.QueryValue(key, name, type, nullptr, &size) != kSuccess)
            break;
        data.resize(size);
        status = registry.QueryValue(key, name, type, data.data(), &size);
        if (status == kSuccess)
            data.resize(size);
    }
    registry.CloseKey(key);
    if (status != kSuccess || (*type != kRegSz && *type != kRegExpandSz))
        return false;
    while (!data.empty() && data.back() == '\0')
        data.pop_back();
    if (data.empty())
        return false;
    *value = std::move(data);
    return true;
}

}  // namespace

HostEnvironment::HostEnvironment() : sid_("S-1-5-21-0-0-0-1000") {
    const std::pair<const char*, const char*> defaults[] = {
        {"SystemDrive", "C:"},
        {"SystemRoot", "C:\\Windows"},
        {"windir", "C:\\Windows"},
        {"ProgramFiles", "C:\\Program Files"},
        {"CommonProgramFiles", "C:\\Program Files\\Common Files"},
        {"USERPROFILE", "C:\\Users\\user"},
        {"APPDATA", "C:\\Users\\user\\AppData\\Roaming"},
        {"LOCALAPPDATA", "C:\\Users\\user\\AppData\\Local"},
        {"TEMP", "C:\\Users\\user\\AppData\\Local\\Temp"},
        {"TMP", "C:\\Users\\user\\AppData\\Local\\Temp"},
        {"ALLUSERSPROFILE", "C:\\ProgramData"},
        {"PUBLIC", "C:\\Users\\Public"},
        {"USERNAME", "user"},
    };
    for (const auto& [name, value] : defaults)
        variables_[name] = value;
}

void HostEnvironment::SetVariable(std::string_view name, std::string_view value) {
    variables_[std::string(name)] = std::string(value);
    if (text::EqualsNoCase(name, "SystemRoot"))
        variables_["windir"] = std::string(value);
}

std::string HostEnvironment::Variable(std::string_view name) const {
    auto it = variables_.find(name);
    return it == variables_.end() ? std::string() : it->second;
}

std::string HostEnvironment::WindowsFolder() {
    return text::WithoutTrailingBackslash(Variable("SystemRoot"));
}

std::string HostEnvironment::SystemFolder() {
    return WindowsFolder() + "\\System32";
}

std::string HostEnvironment::ProgramFilesFolder() {
    return text::WithoutTrailingBackslash(Variable("ProgramFiles"));
}

std::string HostEnvironment::ShellFolderPath(ShellFolder folder) {
    auto set = shellFolders_.find(folder);
    if (set != shellFolders_.end() && !set->second.empty())
        return text::WithoutTrailingBackslash(set->second);
    if (std::string registered = RegisteredShellFolder(folder); !registered.empty())
        return registered;
    const char* place = nullptr;
    switch (folder) {
        case ShellFolder::kFavorites:
            place = "%USERPROFILE%\\Favorites";
            break;
        case ShellFolder::kStartup:
            place = "%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
            break;
        case ShellFolder::kCommonStartup:
            place = "%ALLUSERSPROFILE%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup";
            break;
        case ShellFolder::kAppData:
            place = "%APPDATA%";
            break;
        case ShellFolder::kLocalAppData:
            place = "%LOCALAPPDATA%";
            break;
        case ShellFolder::kCookies:
            place = "%APPDATA%\\Microsoft\\Windows\\Cookies";
            break;
        case ShellFolder::kProfile:
            place = "%USERPROFILE%";
            break;
    }
    std::string path;
    if (place == nullptr || !ExpandEnvironmentStrings(place, &path))
        return {};
    return text::WithoutTrailingBackslash(path);
}

std::string HostEnvironment::RegisteredShellFolder(ShellFolder folder) {
    FolderValue value = ValueOf(folder);
    if (registry_ == nullptr || value.name == nullptr)
        return {};
    HKey root = value.common ? kHkeyLocalMachine : kHkeyCurrentUser;
    // "User Shell Folders" is what the user (or policy) set and may hold
    // %VARIABLES%; "Shell Folders" is the expanded copy older programs read.
    for (const char* keyName : {"User Shell Folders", "Shell Folders"}) {
        std::string path = std::string(kExplorerKey) + "\\" + keyName;
        std::string data;
        std::uint32_t type = kRegNone;
        if (!QueryStringValue(*registry_, root, path, value.name, &data, &type))
            continue;
        std::string expanded;
        if (type == kRegExpandSz && !ExpandEnvironmentStrings(data, &expanded))
            continue;
        if (type != kRegExpandSz)
            expanded = std::move(data);
        return text::WithoutTrailingBackslash(expanded);
    }
    return {};
}

bool HostEnvironment::ExpandEnvironmentStrings(std::string_view textIn, std::string* expanded) {
    std::string out;
    out.reserve(textIn.size());
    std::size_t pos = 0;
    while (pos < textIn.size()) {
        std::size_t open = textIn.find('%', pos);
        if (open == std::string_view::npos)
            break;
        std::size_t close = textIn.find('%', open + 1);
        if (close == std::string_view::npos)
            break;
        out.append(textIn.substr(pos, open - pos));
        std::string_view name = textIn.substr(open + 1, close - open - 1);
        auto it = name.empty() ? variables_.end() : variables_.find(name);
        if (it != variables_.end()) {
            out += it->second;
            pos = close + 1;
        } else {
            // Undefined: the first '%' stays and the scan resumes at the
            // second, which may open a defined name.
            out += '%';
            out.append(name);
            pos = close;
        }
    }
    out.append(textIn.substr(pos));
    *expanded = std::move(out);
    return true;
}

}  // namespace platform::host
