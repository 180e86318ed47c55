#include "shields/StartupShield.h"

#include <algorithm>

#include "platform/ScopedKey.h"
#include "platform/Text.h"
#include "settings/Messages.h"
#include "shields/RegistryText.h"

namespace shields {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

namespace {

bool Contains(const std::vector<std::string>& list, std::string_view item) {
    return std::any_of(list.begin(), list.end(), [item](const std::string& known) {
        return text::EqualsNoCase(known, item);
    });
}

// Changes made while the user answers are found by looking again; the
// rounds are limited so that a program that keeps writing cannot hold the
// window. What is left is asked about at the next notice.
constexpr int kMaxRounds = 16;

}  // namespace

StartupShield::StartupShield(ShieldServices& services) : services_(services) {
    hives_.push_back({kHkeyCurrentUser, kRunKey, kCurrentUserRunKeyId, {}});
    hives_.push_back({kHkeyLocalMachine, kRunKey, kLocalMachineRunKeyId, {}});
    if (platform::Has32BitView(services_.system.registry))
        hives_.push_back({kHkeyLocalMachine, kRunKey32, kLocalMachineRun32KeyId, {}});
}

std::vector<std::string> StartupShield::ReadRunData(const RunHive& hive) const {
    std::vector<std::string> data;
    for (NamedData& value : ReadValues(services_.system.registry, hive.root, hive.path))
        data.push_back(std::move(value.data));
    return data;
}

void StartupShield::TakeRunBaselines() {
    for (RunHive& hive : hives_)
        hive.baseline = ReadRunData(hive);
}

bool StartupShield::EnsureKey(const RunHive& hive) {
    platform::HKey key = platform::kNullKey;
    if (services_.system.registry.CreateKey(hive.root, hive.path, 0, platform::kKeyNotify, &key,
                                            nullptr) != platform::kSuccess)
        return false;
    services_.system.registry.CloseKey(key);
    return true;
}

std::vector<std::string> StartupShield::ListFiles(const std::string& folder) const {
    std::vector<std::string> files;
    if (folder.empty())
        return files;
    auto search = services_.system.files.Find(folder + "\\*.*");
    platform::FindData entry;
    while (search && search->Next(entry)) {
        if (entry.name == "." || entry.name == ".." || entry.IsDirectory())
            continue;
        files.push_back(text::JoinPath(folder, entry.name));
    }
    return files;
}

void StartupShield::TakeStartupFolderLists() {
    platform::Environment& environment = services_.system.environment;
    folders_[0].path = text::WithoutTrailingBackslash(
        environment.ShellFolderPath(platform::ShellFolder::kStartup));
    folders_[1].path = text::WithoutTrailingBackslash(
        environment.ShellFolderPath(platform::ShellFolder::kCommonStartup));
    for (StartupFolder& folder : folders_)
        folder.files = ListFiles(folder.path);
}

void StartupShield::Start(WatchRequests& watches) {
    TakeRunBaselines();
    TakeStartupFolderLists();
    for (const RunHive& hive : hives_) {
        // The 32-bit Run key is missing until a 32-bit program first writes
        // there (a fresh Wine prefix has none). Made empty now it can be
        // watched; where it cannot be made (no rights) it is left out rather
        // than reported at every start.
        if (hive.keyId == kLocalMachineRun32KeyId && !EnsureKey(hive))
            continue;
        watches.WatchKey({hive.root, hive.path, hive.keyId});
    }
    watches.WatchFolder({folders_[0].path, kNotifyFileName, app::WM_SHIELD_STARTUP_CHANGED, 3});
    watches.WatchFolder({folders_[1].path, kNotifyFileName, app::WM_SHIELD_STARTUP_CHANGED, 4});
}

bool StartupShield::OnNotice(const Notice& notice) {
    if (notice.message == app::WM_SHIELD_STARTUP_CHANGED) {
        CheckStartupFolders();
        return true;
    }
    if (notice.message != app::WM_SHIELD_KEY_CHANGED)
        return false;
    for (const RunHive& hive : hives_) {
        if (static_cast<std::uintptr_t>(hive.keyId) == notice.wParam) {
            CheckRunKey(hive.keyId);
            return true;
        }
    }
    return false;
}

void StartupShield::CheckRunKey(int keyId) {
    // The Run keys are guarded even while the other shields are disabled.
    if (!services_.switches.startup)
        return;
    auto found = std::find_if(hives_.begin(), hives_.end(),
                              [keyId](const RunHive& hive) { return hive.keyId == keyId; });
    if (found == hives_.end())
        return;
    RunHive& hive = *found;
    platform::Registry& registry = services_.system.registry;
    // What may stay: the baseline, what the user allowed, and what could not
    // be deleted.
    std::vector<std::string> known = hive.baseline;
    for (int round = 0; round < kMaxRounds; ++round) {
        bool asked = false;
        std::vector<std::string> removed;
        for (const std::string& entry : ReadRunData(hive)) {
            if (Contains(known, entry) || Contains(removed, entry))
                continue;
            asked = true;
            if (!services_.alerts.AuthorizeChange(entry, AlertKind::StartupProgramAdded)) {
                known.push_back(entry);
                continue;
            }
            int failed = 0;
            DeleteValuesWithData(registry, hive.root, hive.path, entry, &failed);
            // Values with the same data went with it: they are not asked
            // about again.
            if (failed > 0)
                known.push_back(entry);
            else
                removed.push_back(entry);
        }
        if (!asked)
            break;
    }
    // The new baseline: what is there now and may stay; anything written
    // after the last look is asked about next time.
    hive.baseline.clear();
    for (std::string& entry : ReadRunData(hive)) {
        if (Contains(known, entry))
            hive.baseline.push_back(std::move(entry));
    }
}

void StartupShield::CheckStartupFolders() {
    const ShieldSwitches& s = services_.switches;
    if (!s.shieldsActive || !s.startup)
        return;
    for (StartupFolder& folder : folders_)
        CheckFolder(folder);
}

void StartupShield::CheckFolder(StartupFolder& folder) {
    std::vector<std::string> known = folder.files;
    for (int round = 0; round < kMaxRounds; ++round) {
        bool asked = false;
        for (const std::string& file : ListFiles(folder.path)) {
            if (Contains(known, file))
                continue;
            asked = true;
            const std::string name(text::FileName(file));
            if (services_.alerts.AuthorizeChange(name, AlertKind::StartupProgramAdded) &&
                services_.system.files.DeleteFile(file) == platform::kSuccess)
                continue;
            // Allowed, or it could not be deleted: it stays.
            known.push_back(file);
        }
        if (!asked)
            break;
    }
    folder.files.clear();
    for (std::string& file : ListFiles(folder.path)) {
        if (Contains(known, file))
            folder.files.push_back(std::move(file));
    }
}

void StartupShield::OnSwitchesChanged(const ShieldSwitches& before, const ShieldSwitches& after) {
    if (!before.startup && after.startup)
        TakeRunBaselines();
    if (!(before.shieldsActive && before.startup) && after.shieldsActive && after.startup) {
        for (StartupFolder& folder : folders_)
            folder.files = ListFiles(folder.path);
    }
}

void StartupShield::TakeAuditBaseline(const settings::SettingsStore&, const ShieldSwitches&) {
    TakeRunBaselines();
    TakeStartupFolderLists();
}

void StartupShield::Audit(std::vector<PlaceStatus>& out) {
    const ShieldSwitches& s = services_.switches;
    for (const RunHive& hive : hives_) {
        PlaceStatus place;
        place.shield = "strupshld";
        place.place = std::string(platform::RootName(hive.root)) + "\\" + hive.path;
        place.watched = s.startup;
        place.now = ReadRunData(hive);
        place.baseline = hive.baseline;
        for (const std::string& entry : place.now) {
            if (!Contains(hive.baseline, entry))
                place.differences.push_back(entry);
        }
        place.matches = place.differences.empty();
        out.push_back(std::move(place));
    }
    for (const StartupFolder& folder : folders_) {
        PlaceStatus place;
        place.shield = "strupshld";
        place.place = folder.path;
        place.watched = s.shieldsActive && s.startup;
        place.now = ListFiles(folder.path);
        place.baseline = folder.files;
        for (const std::string& file : place.now) {
            if (!Contains(folder.files, file))
                place.differences.push_back(file);
        }
        place.matches = place.differences.empty();
        out.push_back(std::move(place));
    }
}

}  // namespace shields
