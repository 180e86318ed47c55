#include "app/Preferences.h"

#include "settings/Messages.h"
#include "settings/Strings.h"

namespace app {

namespace {

void LoadFlag(const settings::SettingsStore& settings, std::string_view name, bool* flag) {
    std::string value;
    if (settings.GetSetting(name, &value))
        *flag = value == "1";
}

void SaveFlag(settings::SettingsStore& settings, std::string_view name, bool flag) {
    settings.SetSetting(name, flag ? "1" : "0");
}

}  // namespace

void LoadPreferences(const settings::SettingsStore& settings, PreferencesData* data) {
    std::string value;
    if (settings.GetSetting("rfp", &value))
        data->referenceFile = value;
    if (settings.GetSetting("lfp", &value))
        data->logFolder = value;
    LoadFlag(settings, "sas", &data->sas);
    LoadFlag(settings, "ras", &data->ras);
    LoadFlag(settings, "asl", &data->asl);
    LoadFlag(settings, "abrs", &data->abrs);
    LoadFlag(settings, "acu", &data->acu);
    LoadFlag(settings, "mtst", &data->mtst);
    LoadFlag(settings, "scnlg", &data->scnlg);
}

std::string RunEntryCommand(std::string_view exePath, bool scanAtStartup) {
    std::string command = "\"";
    command.append(exePath);
    command.append(scanAtStartup ? "\" :Scan:" : "\" :Min:");
    return command;
}

void SavePreferences(settings::SettingsStore& settings, const PreferencesData& data) {
    settings.SetSetting("rfp", data.referenceFile);
    settings.SetSetting("lfp", data.logFolder);
    SaveFlag(settings, "abrs", data.abrs);
    SaveFlag(settings, "acu", data.acu);
    SaveFlag(settings, "asl", data.asl);
    SaveFlag(settings, "mtst", data.mtst);
    SaveFlag(settings, "ras", data.ras);
    SaveFlag(settings, "sas", data.sas);
    SaveFlag(settings, "scnlg", data.scnlg);
    if (data.ras) {
        settings.SetRunEntry(settings::strings::kRunEntryName,
                             RunEntryCommand(settings.GetModulePath(true), data.sas));
        settings.SetSetting("ras", "1");
    } else {
        settings.DeleteRunEntry(settings::strings::kRunEntryName);
        settings.SetSetting("ras", "0");
    }
}

void LinkStartupBoxes(StartupBox clicked, bool* runAtStartup, bool* scanAtStartup) {
    if (clicked == StartupBox::kScan && *scanAtStartup)
        *runAtStartup = true;
    if (clicked == StartupBox::kRun && !*runAtStartup)
        *scanAtStartup = false;
}

bool FileSystemOkHost::FolderExists(std::string_view path) {
    return !path.empty() && files_.IsDirectory(path);
}

bool FileSystemOkHost::CreateFolder(std::string_view path) {
    return !path.empty() && files_.CreateDirectory(path) == platform::kSuccess;
}

bool FileSystemOkHost::FileExists(std::string_view path) {
    return !path.empty() && files_.Exists(path) && !files_.IsDirectory(path);
}

bool ApplyPreferences(PreferencesData& data, settings::SettingsStore& settings,
                      PreferencesOkHost& host, removal::Prompts& prompts) {
    using removal::Answer;
    using removal::Buttons;
    if (!host.FolderExists(data.logFolder)) {
        if (prompts.Ask(kCreateLogFolderQuestion, kMessageCaption, Buttons::kYesNo) != Answer::kYes)
            return false;
        if (!host.CreateFolder(data.logFolder)) {
            prompts.Ask(kLogFolderNotCreated, kMessageCaption, Buttons::kOk);
            return false;
        }
    }
    if (!host.FileExists(data.referenceFile)) {
        if (prompts.Ask(settings::strings::kReferenceNotFoundQuestion, kInvalidReferenceCaption,
                        Buttons::kYesNo) != Answer::kYes) {
            return false;
        }
        if (!host.RunDownload())
            return false;
        std::string installed;
        if (settings.GetSetting("rfp", &installed) && !installed.empty())
            data.referenceFile = installed;
    }
    SavePreferences(settings, data);
    return true;
}

}  // namespace app
