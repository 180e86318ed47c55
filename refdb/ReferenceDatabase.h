#pragma once
// The loaded Reference file: every unwanted program with the folders, files,
// cookies and registry items that betray it, the ActiveX class identifiers,
// and the indexes later stages use. The database owns everything; scans,
// rows and removal hold pointers into it, so it is never reloaded while they
// are in use.
#include <array>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"
#include "platform/System.h"

namespace refdb {

// The item kinds, numbered as the results list numbers its rows.
enum class ItemKind : int {
    kFile = 0,
    kCookie = 1,
    kDirectory = 2,
    kRegKey = 3,
    kRegValue = 4,
    kRegValueData = 5,
    kPrefsLine = 6,
};

// The twelve version strings of a found file, in this order: CompanyName,
// FileDescription, FileVersion, InternalName, LegalCopyright,
// OriginalFileName, ProductName, ProductVersion, Comments, LegalTrademarks,
// PrivateBuild, SpecialBuild.
using VersionInfo = std::array<std::string, 12>;

struct DirectoryItem {
    std::string name;
    std::string path;
    bool detected = false;
};

struct FileItem {
    std::string name;
    std::string path;  // no trailing backslash
    std::string md5;   // upper-case hex as written, or empty
    bool isLsp = false;
    bool detected = false;
    // Further places where a scan found the file. A list, so rows that point
    // at earlier copies stay valid while later ones are added.
    std::list<FileItem> copies;
    // Filled by a scan that finds the file; null until then.
    std::unique_ptr<VersionInfo> versionInfo;

    FileItem() = default;
    FileItem(const FileItem& other);
    FileItem& operator=(const FileItem& other);
    FileItem(FileItem&&) noexcept = default;
    FileItem& operator=(FileItem&&) noexcept = default;
};

struct CookieItem {
    std::string name;
    bool detected = false;
    std::string foundPath;
};

struct RegKeyItem {
    platform::HKey root = platform::kNullKey;
    std::string keyPath;
    bool detected = false;
};

struct RegValueItem {
    platform::HKey root = platform::kNullKey;
    std::string keyPath;
    std::string valueName;
    bool detected = false;
};

struct RegDataItem {
    platform::HKey root = platform::kNullKey;
    std::string keyPath;
    std::string valueName;
    std::string data;
    std::string fix;
    std::string matchedName;  // the value that matched, set by a scan
    bool detected = false;
    bool deleteValue = false;  // fix is ":Delete:" in any case
};

// One line of a browser profile's preference file that a scan found, kept
// as its exact bytes so that removal takes out that line and nothing else.
struct PrefsLineItem {
    std::string path;      // the preference file
    std::string prefName;  // e.g. "browser.startup.homepage"
    std::string data;      // the value as the line writes it, quotes removed
    std::string line;      // the whole line, without its line end
    bool detected = false;
};

struct SpywareEntry {
    std::string name;
    std::string description;
    int dangerLevel = 0;
    bool ignored = false;
    bool detected = false;
    std::vector<DirectoryItem> directories;
    std::vector<FileItem> files;
    std::vector<CookieItem> cookies;
    std::vector<RegKeyItem> regKeys;
    std::vector<RegValueItem> regValues;
    std::vector<RegDataItem> regData;
    // From the BROWSER section: the browser extensions the program forces
    // into browsers and the sites it sets as start page or search provider.
    std::vector<std::string> extensionIds;
    std::vector<std::string> hijackDomains;
    // Browser settings a scan found for this program: policy values and
    // preference lines. Lists, so rows that point at earlier findings stay
    // valid while later ones are added; emptied before every scan.
    std::list<RegValueItem> policyValues;
    std::list<PrefsLineItem> prefsLines;
};

// The name of the built-in entry that holds the browser policies and
// preference lines that no entry of the Reference file names.
inline constexpr const char* kBrowserPolicyEntryName = "Browser policy set by another program";

struct ExeRecord {
    std::string name;
    std::string path;
    std::string md5;
    SpywareEntry* entry = nullptr;
};

struct CacheFileRef {
    SpywareEntry* entry = nullptr;
    FileItem* file = nullptr;
};

struct ChecksumRef {
    SpywareEntry* entry = nullptr;
    FileItem* file = nullptr;
    const std::string& md5() const { return file->md5; }
};

// Folder values for the macros, in macro order.
enum FolderId : int {
    kFolderWindows = 0,
    kFolderWindowsSystem,
    kFolderSystem,
    kFolderProgramFiles,
    kFolderWindowsTemp,
    kFolderTemp,
    kFolderDocuments,
    kFolderAppData,
    kFolderProfile,
    kFolderStartup,
    kFolderDesktop,
    kFolderAllUsers,
    kFolderSystemDrive,
    kFolderCount,
};
using FolderTable = std::array<std::string, kFolderCount>;

// Receives the loading progress: a range, then one step per entry.
class LoadProgress {
  public:
    virtual ~LoadProgress() = default;
    virtual void SetRange(int lower, int upper) = 0;
    virtual void Step() = 0;
};

// "Not Critical", "Dangerous", "Severe"; empty for any other level.
const char* DangerText(int level);
// "HKEY_CURRENT_USER" ... for the four roots; empty for anything else.
const char* RootName(platform::HKey root);
// The root named exactly (case-sensitive); kNullKey for anything else.
platform::HKey RootFromName(std::string_view name);

// The ignore list file beside the program.
std::string IgnoreListPath(platform::System& system);

class ReferenceDatabase {
  public:
    // Computes the folder values the registry macros use.
    explicit ReferenceDatabase(platform::System& system);

    // Loads the Reference file at `path` (scrambled) with the ignore list
    // beside the program. False when the file cannot be read or parsed;
    // LastError() then says why. A parse failure leaves the database empty.
    bool LoadReference(std::string_view path, LoadProgress* progress = nullptr);
    // Loads from unscrambled markup with the given ignore text.
    bool LoadMarkup(std::string markup, std::string_view ignoreText,
                    LoadProgress* progress = nullptr);

    const std::string& LastError() const { return lastError_; }
    int total() const { return total_; }
    const FolderTable& folders() const { return registryFolders_; }
    const FolderTable& pathFolders() const { return pathFolders_; }
    const std::string& userSid() const { return sid_; }

    // Entries keep their addresses for the life of the content.
    std::deque<SpywareEntry>& entries() { return entries_; }
    const std::deque<SpywareEntry>& entries() const { return entries_; }
    // Entries the program brings itself, not counted among the Reference
    // file's: the one browser-policy finding, Not Critical. Scans report into
    // it and removal and backup walk it after `entries()`.
    std::deque<SpywareEntry>& builtInEntries() { return builtIn_; }
    const std::deque<SpywareEntry>& builtInEntries() const { return builtIn_; }
    SpywareEntry& browserPolicyEntry() { return builtIn_.front(); }
    const std::vector<std::string>& classIds() const { return classIds_; }
    const std::vector<ExeRecord>& executables() const { return executables_; }
    const std::vector<CacheFileRef>& cacheFiles() const { return cacheFiles_; }
    const std::vector<ChecksumRef>& checksums() const { return checksums_; }

    // Path macros (folders and files) and registry macros (":SID:" too).
    std::string ExpandPathMacros(std::string text) const;
    std::string ExpandRegistryMacros(std::string text) const;

  private:
    class Builder;
    void Clear();
    void ComputeFolders();

    platform::System& system_;
    FolderTable registryFolders_;
    FolderTable pathFolders_;
    std::string sid_;
    int total_ = 0;
    std::string lastError_;
    std::deque<SpywareEntry> entries_;
    std::deque<SpywareEntry> builtIn_;
    std::vector<std::string> classIds_;
    std::vector<ExeRecord> executables_;
    std::vector<CacheFileRef> cacheFiles_;
    std::vector<ChecksumRef> checksums_;
};

}  // namespace refdb
