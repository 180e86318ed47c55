#pragma once
// Bringing back what a removal took away, from the archives the backup wrote:
// listing and deleting archives, unpacking one into a scratch folder, reading
// its manifest and restoring the items the user checked. The dialogs only
// show what these functions return.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/System.h"

namespace removal {

inline constexpr std::string_view kRestoredMessage = "Selected Items Restored";
inline constexpr std::string_view kNotRestoredMessage = "Not all selected items could be restored";

// One manifest record. `kind` is the type as written; `name` and `path` are
// the fields shown in the "Name" and "Path" columns.
struct BackupItem {
    std::string kind;
    std::string name;
    std::string path;
};

// The value of a manifest line "[KEY:value]": everything after the key and
// the character that follows it, up to the last "]". The line unchanged when
// the key is not in it.
std::string GetManifestField(std::string_view line, std::string_view key);

// The records of a manifest, in order. Lines of unknown type are passed over;
// a record cut short by the end of the text ends the reading.
std::vector<BackupItem> ReadManifest(std::string_view manifest);

// One archive of the backup folder with the date its name encodes.
struct BackupArchive {
    std::string fileName;
    platform::LocalTime date;  // dayOfWeek unused
};

// Reads the date out of an archive name "M,D,YYYY_h,m,s.zip"; a part that is
// not a number counts as 0.
platform::LocalTime ParseBackupName(std::string_view fileName);

// The archives in the backup folder, in directory order. Names of 15
// characters or fewer are not backups and are passed over.
std::vector<BackupArchive> ListBackups(platform::System& system);

// "Backup on <date> - <time>" from the date and time already formatted for
// the user's locale.
std::string BackupRowText(std::string_view dateText, std::string_view timeText);
// The same for an archive's date, formatted by `clock` in the user's locale.
std::string BackupRowText(platform::Clock& clock, const platform::LocalTime& date);

// Deletes an archive of the backup folder; false when it could not be deleted.
bool DeleteBackup(platform::System& system, std::string_view fileName);

// The folder "Temp" in the backup folder, where archives are unpacked.
std::string RestoreScratchFolder(platform::System& system);

struct UnpackResult {
    bool manifestRead = false;  // false: no manifest could be opened
    std::string scratchFolder;
    std::vector<BackupItem> items;
};

// Extracts every member of the archive into the scratch folder (members whose
// names could leave the folder are skipped) and reads the manifest.
UnpackResult UnpackBackup(platform::System& system, std::string_view fileName);

// Restores `items` from `scratchFolder`; returns how many were restored.
// `failed`, when given, gets the items that could not be restored.
// Registry imports run to their end, so the scratch folder may be removed
// right afterwards.
int RestoreItems(platform::System& system, std::string_view scratchFolder,
                 const std::vector<BackupItem>& items,
                 std::vector<const BackupItem*>* failed = nullptr);

// The message that ends a restore of `restored` items.
std::string_view RestoreResultMessage(int restored);

// Removes the scratch folder with everything in it.
void RemoveFolderTree(platform::FileSystem& files, std::string_view folder);

}  // namespace removal
