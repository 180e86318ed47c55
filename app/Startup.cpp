#include "app/Startup.h"

#include <string>

#include "settings/Messages.h"

namespace app {

LaunchOptions PrepareLaunch(settings::SettingsStore& settings, std::string_view commandLine) {
    bool firstRun = settings.IsFirstRun();
    if (firstRun) {
        // A failure leaves the settings absent, which every reader treats as
        // off; the program still runs.
        settings.WriteDefaultSettings();
    }
    return ParseCommandLine(commandLine, firstRun);
}

bool LoadConfiguredReference(const settings::SettingsStore& settings,
                             refdb::ReferenceDatabase& database, refdb::LoadProgress* progress) {
    std::string path;
    if (!settings.GetSetting("rfp", &path) || path.empty())
        return false;
    return database.LoadReference(path, progress);
}

bool LoadReferenceFile(ReferenceRecovery& recovery, removal::Prompts& prompts) {
    if (recovery.LoadReference())
        return true;
    for (;;) {
        removal::Answer answer =
            prompts.Ask(kReferenceDamagedQuestion, kMessageCaption, removal::Buttons::kYesNo);
        if (answer == removal::Answer::kYes) {
            if (!recovery.RunDownload())
                return false;
        } else if (!recovery.RunPreferences()) {
            prompts.Ask(kNoReferenceClosing, kMessageCaption, removal::Buttons::kOk);
            return false;
        }
        if (recovery.LoadReference())
            return true;
    }
}

}  // namespace app
