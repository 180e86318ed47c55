#pragma once
// Texts of the secondary windows that no subsystem already carries.

namespace app::texts {

// "Select Backup ".
inline constexpr const char* kSelectBackupFirst = "Select an item to delete";
inline constexpr const char* kConfirmDeleteBackup =
    "Are you sure you want to delete this backup? You will not be able to restore this backup "
    "once it is removed.";
inline constexpr const char* kManifestUnreadable =
    "The list of items in this backup could not be read. The backup may be damaged.";
inline constexpr const char* kBackupDatesColumn = "Backup Dates";

}  // namespace app::texts
