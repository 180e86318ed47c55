#pragma once
// Start-up steps that need no window: the first-run handling with the
// command line, and the recovery dialogue around loading the Reference file.
#include <string_view>

#include "app/LaunchOptions.h"
#include "refdb/ReferenceDatabase.h"
#include "removal/Prompts.h"
#include "settings/SettingsStore.h"

namespace app {

// Process start, steps 5 and 6: on the first run (IsFirstRun) writes the
// whole default settings table, then reads the command line.
LaunchOptions PrepareLaunch(settings::SettingsStore& settings, std::string_view commandLine);

// Loads the Reference file that "rfp" names into `database`, reporting to
// `progress` (may be null). False when "rfp" is absent or the file does not
// load.
bool LoadConfiguredReference(const settings::SettingsStore& settings,
                             refdb::ReferenceDatabase& database, refdb::LoadProgress* progress);

inline constexpr const char* kReferenceDamagedQuestion =
    "Your Reference file appears to be corrupt or damaged.  Would you like our software to "
    "retrieve the latest file from our update server?";
inline constexpr const char* kNoReferenceClosing =
    "You chose not to download or repair the reference file. Without a reference \nfile the "
    "program will not be able to work and will be automatically closed.";

// The three things the recovery runs; the loading dialog implements them.
class ReferenceRecovery {
  public:
    virtual ~ReferenceRecovery() = default;
    // One load attempt of the file "rfp" names (LoadConfiguredReference with
    // the loading dialog's progress bar).
    virtual bool LoadReference() = 0;
    // CDownloadDialog; true when it ended with OK.
    virtual bool RunDownload() = 0;
    // CPreferencesDialog, where the user can point "rfp" elsewhere; true
    // when it ended with OK.
    virtual bool RunPreferences() = 0;
};

// `LoadReferenceFile`: loads; on failure asks whether to download (Yes/No,
// caption "Brindlex"). Yes runs the download, No the preferences; either
// one not ending with OK gives false (after No, with kNoReferenceClosing
// shown first). Otherwise loads again, and asks again until a load
// succeeds. True when a Reference file is loaded; false ends the program.
bool LoadReferenceFile(ReferenceRecovery& recovery, removal::Prompts& prompts);

}  // namespace app
