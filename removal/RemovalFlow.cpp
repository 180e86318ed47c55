#include "removal/RemovalFlow.h"

#include <set>
#include <variant>

#include "settings/SettingsStore.h"

namespace removal {
namespace {

// An upper bound for the windows closed in one go, in case a window keeps
// coming back under a new process.
constexpr int kMaxWindowsClosed = 256;

bool FindBrowserProcess(platform::Processes& processes, std::uint32_t* processId) {
    return processes.FindWindowProcess(kBrowserWindowClass, processId) ||
           processes.FindWindowProcess(kExplorerWindowClass, processId);
}

}  // namespace

int CRestartHelper::Restart(std::uint32_t flags, std::uint32_t reserved) {
    return processes_.ShutDownSystem(flags, reserved) ? 1 : 0;
}

void CloseBrowserWindows(platform::Processes& processes, Prompts& prompts) {
    std::uint32_t processId = 0;
    if (!FindBrowserProcess(processes, &processId))
        return;
    if (prompts.Ask(kCloseBrowsersQuestion, kAlertCaption, Buttons::kYesNo) != Answer::kYes)
        return;
    std::set<std::uint32_t> failed;
    for (int closed = 0; closed < kMaxWindowsClosed; ++closed) {
        if (!FindBrowserProcess(processes, &processId))
            return;
        // The same window would be found again and again.
        if (failed.count(processId) != 0)
            return;
        if (!processes.TerminateProcess(processId, 0))
            failed.insert(processId);
    }
}

void ClearUncheckedRows(scan::ResultRows& rows) {
    for (scan::ResultRow& row : rows.rows()) {
        if (row.checked)
            continue;
        std::visit(
            [](auto* item) {
                if (item != nullptr)
                    item->detected = false;
            },
            row.data.item);
    }
}

void ClearDetections(refdb::ReferenceDatabase& database,
                     std::vector<refdb::CacheFileRef>* foundPairs) {
    for (refdb::SpywareEntry& entry : database.entries()) {
        entry.detected = false;
        for (auto& item : entry.directories)
            item.detected = false;
        for (auto& item : entry.files) {
            item.detected = false;
            item.copies.clear();
        }
        for (auto& item : entry.cookies)
            item.detected = false;
        for (auto& item : entry.regKeys)
            item.detected = false;
        for (auto& item : entry.regValues)
            item.detected = false;
        for (auto& item : entry.regData)
            item.detected = false;
        entry.policyValues.clear();
        entry.prefsLines.clear();
    }
    for (refdb::SpywareEntry& entry : database.builtInEntries()) {
        entry.detected = false;
        entry.policyValues.clear();
        entry.prefsLines.clear();
    }
    if (foundPairs == nullptr)
        return;
    for (refdb::CacheFileRef& pair : *foundPairs) {
        if (pair.file != nullptr)
            pair.file->detected = false;
        if (pair.entry != nullptr)
            pair.entry->detected = false;
    }
}

RemovalOutcome RemoveSelectedItems(RemovalRequest& request) {
    ClearUncheckedRows(request.rows);
    if (request.rows.empty()) {
        request.prompts.Ask(kNoItemsMessage, kAppTitle, Buttons::kOk);
        return RemovalOutcome::kNothingToRemove;
    }
    std::string backupSetting;
    if (settings::SettingsStore(request.system).GetSetting("abrs", &backupSetting) &&
        backupSetting == "1" &&
        request.prompts.Ask(kBackupQuestion, kPermissionCaption, Buttons::kYesNo) == Answer::kYes) {
        const bool made = request.backup.CreateBackup(request.database);
        if (request.prompts.Ask(made ? kBackupDone : kBackupFailed, kPermissionCaption,
                                Buttons::kYesNo) != Answer::kYes)
            return RemovalOutcome::kStopped;
    }
    CloseBrowserWindows(request.system.processes, request.prompts);
    const bool restartNeeded = request.view.RunRemovalDialog(
        static_cast<int>(request.rows.size()), [&request](RemovalProgress& progress) {
            return RunRemovalPass(request.system, request.database, &progress, request.logPath);
        });
    RemovalOutcome outcome = RemovalOutcome::kRemoved;
    if (restartNeeded && !request.restartAllowed) {
        outcome = RemovalOutcome::kRestartPending;
    } else if (restartNeeded) {
        request.prompts.Ask(kRestartNotice, kAppTitle, Buttons::kOk);
        CRestartHelper restart(request.system.processes);
        if (restart.Restart(platform::kExitWindowsReboot | platform::kExitWindowsForce, 0) != 0) {
            outcome = RemovalOutcome::kRestartStarted;
        } else {
            request.prompts.Ask(kRestartFailedMessage, kAppTitle, Buttons::kOk);
            outcome = RemovalOutcome::kRestartFailed;
        }
    } else {
        request.prompts.Ask(kRemovedMessage, kAppTitle, Buttons::kOk);
    }
    request.rows.Clear();
    ClearDetections(request.database, request.foundPairs);
    request.view.OnDetectionsCleared();
    return outcome;
}

}  // namespace removal
