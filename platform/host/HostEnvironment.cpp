#include "platform/host/HostEnvironment.h"

namespace platform::host {

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
