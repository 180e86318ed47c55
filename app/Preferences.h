#pragma once
// The preferences dialog (dialog 143, `CPreferencesDialog`) without its
// window: what it reads, the linked start-up boxes, the checks of OK and
// what OK writes. Nothing is written before OK; Cancel changes nothing.
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "removal/Prompts.h"
#include "settings/SettingsStore.h"

namespace app {

namespace preferences_dialog {
inline constexpr const char* kCaption = "Brindlex v5.0 Preferences";
inline constexpr int kLogFolderEdit = 1021;
inline constexpr int kReferenceFileEdit = 1022;
inline constexpr int kLogFolderBrowse = 1023;
inline constexpr int kReferenceFileBrowse = 1024;
inline constexpr int kRunAtStartup = 1025;
inline constexpr int kScanAtStartup = 1027;
inline constexpr int kSaveLogFile = 1028;
inline constexpr int kConfirmRemoval = 1029;
inline constexpr int kCheckForUpdates = 1030;
inline constexpr int kSaveScanLogs = 1001;

// The log folder's "..." (shell folder browser, file-system folders only).
inline constexpr const char* kFolderBrowserTitle = "Please choose a folder for extraction";
inline constexpr const char* kFolderNotUsable = "Cannot use this path for extraction";
// The Reference file's "..." (open-file dialog, file must exist), in the
// framework's "|"-separated form; the Win32 layer turns "|" into zeros.
inline constexpr const char* kReferenceFileFilter = "All Files(*.*)|*.bx||";
}  // namespace preferences_dialog

inline constexpr const char* kCreateLogFolderQuestion =
    "Log file path does not Exist. Create folder?";
inline constexpr const char* kLogFolderNotCreated = "Could not create log file folder";
inline constexpr const char* kInvalidReferenceCaption = "Invalid Ref File";

// The command lines of the Run entry; "%s" is the executable's full path.
inline constexpr const char* kRunEntryScanFormat = "\"%s\" :Scan:";
inline constexpr const char* kRunEntryMinFormat = "\"%s\" :Min:";

struct PreferencesData {
    bool sas = false;           // "Scan at Windows startup"
    bool ras = false;           // "Run at Windows startup"
    bool asl = false;           // "Automatically save log-file"
    bool abrs = false;          // "Always request confirmation before removing spyware"
    bool acu = false;           // "Automatically check for updates"
    bool mtst = false;          // no control; written back as read
    bool scnlg = false;         // "Automatically save Scan Logs"
    std::string logFolder;      // "lfp"
    std::string referenceFile;  // "rfp"
};

// `LoadPreferences`: each present setting replaces the field (a flag is on
// exactly for "1"); absent settings leave the field as it was.
void LoadPreferences(const settings::SettingsStore& settings, PreferencesData* data);

// The Run entry's command line for the executable at `exePath`.
std::string RunEntryCommand(std::string_view exePath, bool scanAtStartup);

// `SavePreferences`: writes "rfp", "lfp", then "abrs", "acu", "asl",
// "mtst", "ras", "sas", "scnlg" as "1"/"0" in that order; then, with "Run at
// Windows startup" on, the Run entry "Brindlex5" (":Scan:" form when "Scan at
// Windows startup" is on, else ":Min:") and "ras" = "1"; otherwise deletes
// the Run entry and writes "ras" = "0".
void SavePreferences(settings::SettingsStore& settings, const PreferencesData& data);

// The two linked boxes after a click: ticking "Scan at Windows startup"
// ticks "Run at Windows startup"; unticking "Run at Windows startup" unticks
// "Scan at Windows startup". Pass the boxes as they are after the click.
enum class StartupBox { kRun, kScan };
void LinkStartupBoxes(StartupBox clicked, bool* runAtStartup, bool* scanAtStartup);

// What OK needs from outside the dialog. FileSystemOkHost answers the
// three file questions from the platform's file system.
class PreferencesOkHost {
  public:
    virtual ~PreferencesOkHost() = default;
    virtual bool FolderExists(std::string_view path) = 0;
    // Creates one folder level; true on success.
    virtual bool CreateFolder(std::string_view path) = 0;
    virtual bool FileExists(std::string_view path) = 0;
    // CDownloadDialog; true when it ended with OK (it has then written
    // "rfp" and "df" for the file it installed).
    virtual bool RunDownload() = 0;
};

class FileSystemOkHost : public PreferencesOkHost {
  public:
    explicit FileSystemOkHost(platform::FileSystem& files) : files_(files) {}
    bool FolderExists(std::string_view path) override;
    bool CreateFolder(std::string_view path) override;
    bool FileExists(std::string_view path) override;

  private:
    platform::FileSystem& files_;
};

// OK with the controls' contents in `data`: a missing log folder is offered
// for creation (No, or a failed creation after kLogFolderNotCreated, keeps
// the dialog open); a missing Reference file is offered for download
// (string-table entry 32799, caption "Invalid Ref File"; No, or a download
// not ending with OK, keeps the dialog open). Then SavePreferences. True
// when the dialog closes with OK.
//
// After a download the Reference file path written is the one the download
// installed (it wrote "rfp"), not the missing path typed in the edit box:
// writing the typed path back would leave the program without a Reference
// file on its next start. `data` is updated to what was saved.
bool ApplyPreferences(PreferencesData& data, settings::SettingsStore& settings,
                      PreferencesOkHost& host, removal::Prompts& prompts);

}  // namespace app
