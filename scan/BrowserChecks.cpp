#include "scan/BrowserChecks.h"

#include <string>

#include "browser/BrowserSettings.h"
#include "browser/PrefsFile.h"
#include "platform/Text.h"

namespace scan {
namespace {

void CheckPolicies(ScanContext& context) {
    refdb::ReferenceDatabase& database = context.database;
    platform::Registry& registry = context.system.registry;
    for (const browser::PolicyKey& key : browser::PolicyKeys(registry)) {
        if (context.Stopped())
            return;
        context.ReportProgress(std::string(kBrowserSettingsText) + refdb::RootName(key.root) +
                               "\\" + key.keyPath);
        for (browser::PolicyValue& value : browser::ReadPolicyValues(registry, key)) {
            refdb::SpywareEntry* entry = browser::EntryNaming(database.entries(), value);
            if (entry == nullptr)
                entry = &database.browserPolicyEntry();
            refdb::RegValueItem& item = entry->policyValues.emplace_back();
            item.root = value.root;
            item.keyPath = std::move(value.keyPath);
            item.valueName = std::move(value.valueName);
            item.detected = true;
            entry->detected = true;
            context.observer.OnRegValue(*entry, item);
        }
    }
}

void CheckPreferences(ScanContext& context, const std::string& path, bool userFile) {
    std::string contents;
    if (context.system.files.ReadFile(path, &contents) != platform::kSuccess)
        return;
    refdb::ReferenceDatabase& database = context.database;
    for (const browser::PrefsLine& line : browser::ReadPrefsLines(contents)) {
        if (context.Stopped())
            return;
        if (!line.isPref || !browser::IsWatchedPreference(line.name))
            continue;
        refdb::SpywareEntry* entry = browser::EntryNamingAddress(database.entries(), line.value);
        // The browser writes the user's own choices into prefs.js; only
        // user.js, which it never writes, holds settings nobody chose there.
        if (entry == nullptr && !userFile)
            continue;
        if (entry == nullptr)
            entry = &database.browserPolicyEntry();
        refdb::PrefsLineItem& item = entry->prefsLines.emplace_back();
        item.path = path;
        item.prefName = line.name;
        item.data = line.value;
        item.line = std::string(browser::LineText(contents, line));
        item.detected = true;
        entry->detected = true;
        context.observer.OnPrefsLine(*entry, item);
    }
}

}  // namespace

void CheckBrowserSettings(ScanContext& context) {
    CheckPolicies(context);
    const std::string& appData = context.database.pathFolders()[refdb::kFolderAppData];
    if (appData.empty())
        return;
    for (const std::string& profile :
         browser::FirefoxProfileFolders(context.system.files, appData)) {
        for (const char* name : {"user.js", "prefs.js"}) {
            if (context.Stopped())
                return;
            const std::string path = text::JoinPath(profile, name);
            if (!context.system.files.Exists(path))
                continue;
            context.ReportProgress(std::string(kBrowserSettingsText) + path);
            CheckPreferences(context, path, std::string_view(name) == "user.js");
        }
    }
}

}  // namespace scan
