#pragma once
// The Remove Items command: offers a backup, offers to close browser
// windows, runs the removal pass under the progress dialog, offers the
// restart, and clears the detections and the results list.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/System.h"
#include "refdb/ReferenceDatabase.h"
#include "removal/Prompts.h"
#include "removal/RemovalPass.h"
#include "scan/ResultRows.h"

namespace removal {

inline constexpr const char* kAppTitle = "Brindlex";
inline constexpr const char* kNoItemsMessage = "No Items to remove";
inline constexpr const char* kPermissionCaption = "Permission";
inline constexpr const char* kBackupQuestion =
    "It is recommended that you make a backup of the files detected before deleting them.\n"
    "Do you want to create a backup now?";
inline constexpr const char* kBackupDone =
    "Backup was successful.\nDo you want to remove the selected items now?";
inline constexpr const char* kBackupFailed =
    "Backup has been failed.\nDo you want to remove the selected items now?";
inline constexpr const char* kRestartNotice =
    "Brindlex needs to restart your system to completely remove some items you selected, press "
    "ok to restart";
inline constexpr const char* kRestartFailedMessage =
    "Couldn't Restart system, Please restart the system manually";
inline constexpr const char* kRemovedMessage =
    "Selected Items have been removed from your computer successfully.";
inline constexpr const char* kAlertCaption = "Alert!";
inline constexpr const char* kCloseBrowsersQuestion =
    "It is highly recommend you close all internet explorer windows to remove attached Items as "
    "well as any other open programs.\n Kill All Explorer Windows ?";
inline constexpr const char* kBrowserWindowClass = "IEFrame";
inline constexpr const char* kExplorerWindowClass = "CabinetWClass";

// Saves what is about to be removed; true when the backup archive was made.
class BackupMaker {
  public:
    virtual ~BackupMaker() = default;
    virtual bool CreateBackup(refdb::ReferenceDatabase& database) = 0;
};

// The window side of the command.
class RemovalView {
  public:
    virtual ~RemovalView() = default;
    // Shows the progress dialog (its range is 0 to `totalCount`), runs `pass`
    // while it is shown and returns what the pass returned: true when a
    // restart is needed.
    virtual bool RunRemovalDialog(int totalCount,
                                  const std::function<bool(RemovalProgress&)>& pass) = 0;
    // The detections are cleared: empty the description and refresh.
    virtual void OnDetectionsCleared() = 0;
};

// Restarts Windows through the platform.
class CRestartHelper {
  public:
    explicit CRestartHelper(platform::Processes& processes) : processes_(processes) {}
    // Nonzero when the restart was started.
    int Restart(std::uint32_t flags, std::uint32_t reserved);

  private:
    platform::Processes& processes_;
};

// Offers to close the browser and folder windows and terminates their
// processes. A process that cannot be terminated ends the loop.
void CloseBrowserWindows(platform::Processes& processes, Prompts& prompts);

struct RemovalRequest {
    platform::System& system;
    refdb::ReferenceDatabase& database;
    scan::ResultRows& rows;
    Prompts& prompts;
    BackupMaker& backup;
    RemovalView& view;
    // The window's (entry, file) pairs of files found through the cache, if any.
    std::vector<refdb::CacheFileRef>* foundPairs = nullptr;
    // Gets the removal log's path when given.
    std::string* logPath = nullptr;
    // False: a needed restart is left to the caller (the console reports it
    // instead of restarting the machine under a script).
    bool restartAllowed = true;
};

enum class RemovalOutcome {
    kNothingToRemove,  // no rows
    kStopped,          // the user declined after the backup
    kRemoved,
    kRestartStarted,
    kRestartFailed,
    kRestartPending,  // a restart is needed and was not allowed
};

RemovalOutcome RemoveSelectedItems(RemovalRequest& request);

// Clears the detected flag of every record whose row is not checked.
void ClearUncheckedRows(scan::ResultRows& rows);

// Resets every detection of the database and of the pairs.
void ClearDetections(refdb::ReferenceDatabase& database,
                     std::vector<refdb::CacheFileRef>* foundPairs);

}  // namespace removal
