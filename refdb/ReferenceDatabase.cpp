#include "refdb/ReferenceDatabase.h"

#include <charconv>
#include <new>

#include "platform/Text.h"
#include "refdb/MarkupReader.h"
#include "refdb/Scramble.h"
#include "registry/RegistryHelper.h"
#include "settings/SettingsStore.h"

namespace refdb {

namespace {

constexpr const char* kUserShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kMachineShellFolders =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kIgnoreListName = "iglist.lst";

// Macro names in the order they are replaced, matching FolderId.
constexpr std::array<std::string_view, kFolderCount> kMacros = {
    ":WinDir:",  ":SysDir:",   ":Sys32Dir:",   ":PFDir:",         ":WinTemp:",
    ":SysTemp:", ":SysDocs:",  ":SysAppData:", ":SysCurProfile:", ":SysStartup:",
    ":Desktop:", ":AllUsers:", ":MainRoot:",
};
// The order macros are replaced in.
constexpr std::array<int, kFolderCount> kReplaceOrder = {
    kFolderProgramFiles, kFolderWindows,   kFolderWindowsSystem, kFolderSystem,  kFolderWindowsTemp,
    kFolderTemp,         kFolderDocuments, kFolderAppData,       kFolderProfile, kFolderStartup,
    kFolderDesktop,      kFolderAllUsers,  kFolderSystemDrive,
};

constexpr std::string_view kAllRoots = ":AllRoots:";
constexpr std::string_view kIECache = ":IECache:";
constexpr std::string_view kSid = ":SID:";

// Replaces every occurrence of `from` in `s`, left to right, in one pass.
void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
    std::size_t pos = s.find(from);
    if (pos == std::string::npos)
        return;
    std::string out;
    out.reserve(s.size() + to.size());
    std::size_t start = 0;
    while (pos != std::string::npos) {
        out.append(s, start, pos - start);
        out.append(to);
        start = pos + from.size();
        pos = s.find(from, start);
    }
    out.append(s, start, std::string::npos);
    s = std::move(out);
}

void ExpandInPlace(std::string& text, const FolderTable& folders) {
    // Every macro starts with a colon; most texts have none.
    if (text.find(':') == std::string::npos)
        return;
    for (int id : kReplaceOrder) {
        ReplaceAll(text, kMacros[static_cast<std::size_t>(id)],
                   folders[static_cast<std::size_t>(id)]);
    }
}

void ReduceDoubledBackslashes(std::string& s) {
    ReplaceAll(s, "\\\\", "\\");
}

void RemoveTrailingBackslashes(std::string& s) {
    while (!s.empty() && s.back() == '\\')
        s.pop_back();
}

// Decimal value as the C library's conversion reads it: leading whitespace,
// an optional sign, digits; anything else ends the number; no digits give 0.
int DecimalValue(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n' ||
                            s[i] == '\v' || s[i] == '\f')) {
        ++i;
    }
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    long long value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + (s[i++] - '0');
        if (value > 0x7FFFFFFF) {
            value = 0x7FFFFFFF;
            break;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

std::string WithoutLastComponent(std::string_view path) {
    return std::string(text::ParentPath(text::WithoutTrailingBackslash(path)));
}

// Turns every LF that does not follow a CR into CR LF.
std::string NormalizeLineEnds(std::string in) {
    std::size_t bare = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\n' && (i == 0 || in[i - 1] != '\r'))
            ++bare;
    }
    if (bare == 0)
        return in;
    std::string out;
    out.reserve(in.size() + bare);
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\n' && (i == 0 || in[i - 1] != '\r'))
            out += '\r';
        out += in[i];
    }
    return out;
}

bool HasExeExtension(std::string_view name) {
    std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && text::EqualsNoCase(name.substr(dot + 1), "exe");
}

}  // namespace

FileItem::FileItem(const FileItem& other)
    : name(other.name),
      path(other.path),
      md5(other.md5),
      isLsp(other.isLsp),
      detected(other.detected),
      copies(other.copies),
      versionInfo(other.versionInfo ? std::make_unique<VersionInfo>(*other.versionInfo) : nullptr) {
}

FileItem& FileItem::operator=(const FileItem& other) {
    if (this != &other)
        *this = FileItem(other);
    return *this;
}

const char* DangerText(int level) {
    switch (level) {
        case 0:
            return "Not Critical";
        case 1:
            return "Dangerous";
        case 2:
            return "Severe";
        default:
            return "";
    }
}

const char* RootName(platform::HKey root) {
    return platform::RootName(root).data();
}

platform::HKey RootFromName(std::string_view name) {
    if (name == "HKEY_CURRENT_USER")
        return platform::kHkeyCurrentUser;
    if (name == "HKEY_CLASSES_ROOT")
        return platform::kHkeyClassesRoot;
    if (name == "HKEY_LOCAL_MACHINE")
        return platform::kHkeyLocalMachine;
    if (name == "HKEY_USERS")
        return platform::kHkeyUsers;
    return platform::kNullKey;
}

ReferenceDatabase::ReferenceDatabase(platform::System& system) : system_(system) {
    ComputeFolders();
    builtIn_.emplace_back().name = kBrowserPolicyEntryName;
}

void ReferenceDatabase::ComputeFolders() {
    platform::Environment& env = system_.environment;
    CRegistryHelper helper(system_.registry);
    FolderTable& f = pathFolders_;

    f[kFolderWindows] = text::WithoutTrailingBackslash(env.WindowsFolder());
    f[kFolderWindowsSystem] = text::JoinPath(f[kFolderWindows], "System");
    f[kFolderSystem] = text::WithoutTrailingBackslash(env.SystemFolder());

    std::string programFiles;
    if (!env.ExpandEnvironmentStrings("%ProgramFiles%", &programFiles) ||
        text::EqualsNoCase(programFiles, "%ProgramFiles%")) {
        programFiles = env.ProgramFilesFolder();
        if (programFiles.empty()) {
            programFiles = f[kFolderWindows].substr(0, 3) + "Program Files";
        }
    }
    f[kFolderProgramFiles] = text::WithoutTrailingBackslash(programFiles);
    f[kFolderWindowsTemp] = f[kFolderWindows] + "\\Temp";
    std::string temp = system_.files.TempFolder();
    f[kFolderTemp] = text::WithoutTrailingBackslash(temp);

    auto shellFolder = [&](platform::HKey root, const char* key, const char* name) {
        return helper.QueryString(root, key, name, "");
    };
    f[kFolderDocuments] = text::WithoutTrailingBackslash(
        shellFolder(platform::kHkeyCurrentUser, kUserShellFolders, "Personal"));
    f[kFolderAppData] = text::WithoutTrailingBackslash(
        shellFolder(platform::kHkeyCurrentUser, kUserShellFolders, "AppData"));
    // The profile is the folder above "Recent" on the systems that keep it
    // there; newer ones moved "Recent" deeper, so the profile variable wins
    // where it is set.
    std::string profile;
    if (!env.ExpandEnvironmentStrings("%USERPROFILE%", &profile) || profile.empty() ||
        text::EqualsNoCase(profile, "%USERPROFILE%")) {
        profile = WithoutLastComponent(
            shellFolder(platform::kHkeyCurrentUser, kUserShellFolders, "Recent"));
    }
    f[kFolderProfile] = text::WithoutTrailingBackslash(profile);
    f[kFolderStartup] = text::WithoutTrailingBackslash(
        shellFolder(platform::kHkeyCurrentUser, kUserShellFolders, "Startup"));
    f[kFolderDesktop] = text::WithoutTrailingBackslash(
        shellFolder(platform::kHkeyCurrentUser, kUserShellFolders, "Desktop"));
    f[kFolderAllUsers] = WithoutLastComponent(
        shellFolder(platform::kHkeyLocalMachine, kMachineShellFolders, "Common Documents"));

    std::string systemDrive;
    if (!env.ExpandEnvironmentStrings("%SystemDrive%", &systemDrive) ||
        text::EqualsNoCase(systemDrive, "%SystemDrive%")) {
        systemDrive.clear();
    }
    f[kFolderSystemDrive] = text::WithoutTrailingBackslash(systemDrive);

    // The registry variant keeps the temporary path as the system gives it
    // and spells the Windows temp folder in lower case.
    registryFolders_ = pathFolders_;
    registryFolders_[kFolderWindowsTemp] = f[kFolderWindows] + "\\temp";
    registryFolders_[kFolderTemp] = temp;
    sid_ = env.UserSid();
}

std::string ReferenceDatabase::ExpandPathMacros(std::string text) const {
    ExpandInPlace(text, pathFolders_);
    return text;
}

std::string ReferenceDatabase::ExpandRegistryMacros(std::string text) const {
    ExpandInPlace(text, registryFolders_);
    if (text.find(':') != std::string::npos)
        ReplaceAll(text, kSid, sid_);
    return text;
}

std::string IgnoreListPath(platform::System& system) {
    settings::SettingsStore settings(system);
    return text::WithoutTrailingBackslash(settings.GetModulePath(false)) + "\\" + kIgnoreListName;
}

void ReferenceDatabase::Clear() {
    checksums_.clear();
    cacheFiles_.clear();
    executables_.clear();
    classIds_.clear();
    entries_.clear();
    SpywareEntry& browser = builtIn_.front();
    browser.detected = false;
    browser.ignored = false;
    browser.policyValues.clear();
    browser.prefsLines.clear();
    total_ = 0;
}

// Walks the markup and fills the database, one entry at a time.
class ReferenceDatabase::Builder {
  public:
    Builder(ReferenceDatabase& db, MarkupReader& reader, std::string_view ignoreText)
        : db_(db), reader_(reader), ignoreText_(ignoreText) {
        for (const platform::Drive& drive : db.system_.files.LogicalDrives()) {
            if (drive.type == platform::DriveType::kFixed)
                fixedRoots_.push_back(drive.root);
        }
    }

    void BuildEntry() {
        SpywareEntry& entry = db_.entries_.emplace_back();
        entry.name = reader_.GetAttribute("NAME");
        entry.ignored = ignoreText_.find(entry.name) != std::string_view::npos;
        pendingExes_.clear();

        reader_.IntoElement();
        if (Section("DIRECTORIES")) {
            while (reader_.FindElement("DIR"))
                AddDirectory(entry);
            reader_.OutOfElement();
        }
        if (Section("FILES")) {
            while (reader_.FindElement("FILE"))
                AddFile(entry);
            reader_.OutOfElement();
        }
        if (Section("COOKIES")) {
            while (reader_.FindElement("COOKIE")) {
                entry.cookies.push_back({reader_.GetAttribute("NAME"), false, {}});
            }
            reader_.OutOfElement();
        }
        if (Section("REGISTRY")) {
            if (Section("KEYS")) {
                while (reader_.FindElement("REGKEY"))
                    AddKey(entry);
                reader_.OutOfElement();
            }
            if (Section("VALUES")) {
                while (reader_.FindElement("REGVALUE"))
                    AddValue(entry);
                reader_.OutOfElement();
            }
            if (Section("VALUE_DATA")) {
                while (reader_.FindElement("VALUE"))
                    AddValueData(entry);
                reader_.OutOfElement();
            }
            reader_.OutOfElement();
        }
        if (reader_.FindElement("DANGER_LEVEL"))
            entry.dangerLevel = DecimalValue(reader_.GetData());
        if (reader_.FindElement("DESCRIPTION"))
            entry.description = reader_.GetData();
        // Last in an SW, so a loader that stops after DESCRIPTION never sees it.
        if (Section("BROWSER")) {
            while (reader_.FindElement()) {
                const std::string_view tag = reader_.GetTagName();
                if (tag == "EXTENSION") {
                    std::string id = reader_.GetAttribute("ID");
                    if (!id.empty())
                        entry.extensionIds.push_back(std::move(id));
                } else if (tag == "DOMAIN") {
                    std::string domain = reader_.GetAttribute("NAME");
                    if (!domain.empty())
                        entry.hijackDomains.push_back(std::move(domain));
                }
            }
            reader_.OutOfElement();
        }
        reader_.OutOfElement();

        // The item lists are complete, so pointers into them stay valid.
        for (std::size_t i : checksumItems_)
            db_.checksums_.push_back({&entry, &entry.files[i]});
        for (std::size_t i : cacheItems_)
            db_.cacheFiles_.push_back({&entry, &entry.files[i]});
        for (PendingExe& exe : pendingExes_) {
            db_.executables_.push_back(
                {std::move(exe.name), std::move(exe.path), std::move(exe.md5), &entry});
        }
        checksumItems_.clear();
        cacheItems_.clear();
    }

  private:
    struct PendingExe {
        std::string name, path, md5;
    };

    // Finds the named section among the current element's children and steps
    // into it.
    bool Section(std::string_view name) {
        return reader_.FindElement(name) && reader_.IntoElement();
    }

    // The fixed-drive paths of an ":AllRoots:" path, in drive order.
    std::vector<std::string> AllRootsPaths(const std::string& path) const {
        std::vector<std::string> paths;
        for (const std::string& root : fixedRoots_) {
            std::string expanded = path;
            ReplaceAll(expanded, kAllRoots, root);
            ReduceDoubledBackslashes(expanded);
            paths.push_back(std::move(expanded));
        }
        return paths;
    }

    void AddDirectory(SpywareEntry& entry) {
        DirectoryItem item{reader_.GetAttribute("NAME"), reader_.GetAttribute("PATH"), false};
        if (item.path.find(kAllRoots) != std::string::npos) {
            std::vector<std::string> paths = AllRootsPaths(item.path);
            // Further drives are added first, so they stand before the item.
            for (std::size_t i = 1; i < paths.size(); ++i) {
                entry.directories.push_back({item.name, paths[i], false});
            }
            item.path = paths.empty() ? std::string() : std::move(paths[0]);
        } else {
            item.path = db_.ExpandPathMacros(std::move(item.path));
            ReduceDoubledBackslashes(item.path);
        }
        entry.directories.push_back(std::move(item));
    }

    void AddFile(SpywareEntry& entry) {
        FileItem item;
        item.name = reader_.GetAttribute("NAME");
        item.md5 = reader_.GetAttribute("MD5");
        item.isLsp = reader_.GetAttribute("LSP") == "Yes";
        const bool isExe = HasExeExtension(item.name);
        std::string path = reader_.GetAttribute("PATH");
        std::string exePath;
        bool inCache = false;
        if (text::EqualsNoCase(path, kIECache)) {
            inCache = true;
        } else if (path.find(kAllRoots) != std::string::npos) {
            if (isExe)
                exePath = path;
            std::vector<std::string> paths = AllRootsPaths(path);
            for (std::size_t i = 1; i < paths.size(); ++i) {
                FileItem copy;
                copy.name = item.name;
                copy.md5 = item.md5;
                copy.isLsp = item.isLsp;
                copy.path = std::move(paths[i]);
                RemoveTrailingBackslashes(copy.path);
                entry.files.push_back(std::move(copy));
            }
            if (!paths.empty())
                item.path = std::move(paths[0]);
        } else {
            item.path = db_.ExpandPathMacros(std::move(path));
            ReduceDoubledBackslashes(item.path);
            if (isExe)
                exePath = item.path;
        }
        RemoveTrailingBackslashes(item.path);

        std::size_t index = entry.files.size();
        if (!item.md5.empty())
            checksumItems_.push_back(index);
        if (inCache)
            cacheItems_.push_back(index);
        if (isExe)
            pendingExes_.push_back({item.name, exePath, item.md5});
        entry.files.push_back(std::move(item));
    }

    void AddKey(SpywareEntry& entry) {
        RegKeyItem item;
        item.root = RootFromName(reader_.GetAttribute("MAIN"));
        std::string path = reader_.GetAttribute("SUB");
        RemoveTrailingBackslashes(path);
        path += '\\';
        path += reader_.GetAttribute("VALUE");
        item.keyPath = db_.ExpandRegistryMacros(path);
        entry.regKeys.push_back(std::move(item));
    }

    void AddValue(SpywareEntry& entry) {
        RegValueItem item;
        item.root = RootFromName(reader_.GetAttribute("MAIN"));
        item.keyPath = db_.ExpandRegistryMacros(reader_.GetAttribute("SUB"));
        // ":SID:" stays literal in value names.
        item.valueName = db_.ExpandPathMacros(reader_.GetAttribute("VALUE"));
        entry.regValues.push_back(std::move(item));
    }

    void AddValueData(SpywareEntry& entry) {
        RegDataItem item;
        item.root = RootFromName(reader_.GetAttribute("MAIN"));
        item.keyPath = db_.ExpandRegistryMacros(reader_.GetAttribute("SUB"));
        item.valueName = db_.ExpandRegistryMacros(reader_.GetAttribute("VALUE"));
        item.data = db_.ExpandRegistryMacros(reader_.GetAttribute("VALUE_DATA"));
        item.fix = db_.ExpandRegistryMacros(reader_.GetAttribute("FIX"));
        item.deleteValue = text::EqualsNoCase(item.fix, ":Delete:");
        entry.regData.push_back(std::move(item));
    }

    ReferenceDatabase& db_;
    MarkupReader& reader_;
    std::string_view ignoreText_;
    std::vector<std::string> fixedRoots_;
    std::vector<std::size_t> checksumItems_;
    std::vector<std::size_t> cacheItems_;
    std::vector<PendingExe> pendingExes_;
};

bool ReferenceDatabase::LoadReference(std::string_view path, LoadProgress* progress) {
    std::string ignoreText;
    if (system_.files.ReadFile(IgnoreListPath(system_), &ignoreText) == platform::kSuccess) {
        Scramble(ignoreText);
    } else {
        ignoreText.clear();
    }
    std::string markup;
    platform::Status status = system_.files.ReadFile(path, &markup);
    if (status != platform::kSuccess) {
        lastError_ = "Cannot read the Reference file " + std::string(path) + " (error " +
                     std::to_string(status) + ")";
        return false;
    }
    Scramble(markup);
    return LoadMarkup(std::move(markup), ignoreText, progress);
}

bool ReferenceDatabase::LoadMarkup(std::string markup, std::string_view ignoreText,
                                   LoadProgress* progress) {
    lastError_.clear();
    std::string normalized = NormalizeLineEnds(std::move(markup));
    Clear();
    ComputeFolders();
    try {
        MarkupReader reader;
        if (!reader.LoadText(std::move(normalized))) {
            lastError_ = reader.LastError();
            return false;
        }
        if (!reader.FindElement("BX"))
            return true;
        total_ = DecimalValue(reader.GetAttribute("TOTAL"));
        if (progress != nullptr)
            progress->SetRange(0, total_ != 0 ? total_ : 1000);
        reader.IntoElement();
        Builder builder(*this, reader, ignoreText);
        while (reader.FindElement("SW")) {
            if (progress != nullptr)
                progress->Step();
            builder.BuildEntry();
        }
        if (reader.FindElement("ActiveX") && reader.IntoElement()) {
            while (reader.FindElement("CLSID"))
                classIds_.push_back(reader.GetAttribute("Key"));
            reader.OutOfElement();
        }
        SpywareEntry& browser = builtIn_.front();
        browser.ignored = std::string_view(ignoreText).find(browser.name) != std::string_view::npos;
    } catch (const std::bad_alloc&) {
        Clear();
        lastError_ = "Not enough memory to load the Reference file";
        return false;
    }
    return true;
}

}  // namespace refdb
