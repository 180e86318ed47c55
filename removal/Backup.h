#pragma once
// Saving what a removal is about to take away: detected files (whole zip
// archives for detected members), cookie files and registry exports, with a
// manifest of where each came from, packed into one dated, password-protected
// flat zip archive in the backup folder beside the program.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/System.h"
#include "refdb/ReferenceDatabase.h"

namespace removal {

// Every backup archive is encrypted (traditional PKWARE) under this password.
inline constexpr std::string_view kBackupPassword = "tindrake_7_vlts";
inline constexpr std::string_view kManifestName = "Config.ini";

// The program's folder + "\BrindlexBackup".
std::string BackupFolder(platform::System& system);
// The temporary folder + "BrindlexBkupTemp", no trailing backslash.
std::string BackupScratchFolder(platform::FileSystem& files);
// folder + "\M,D,YYYY_h,m,s.zip", numbers without leading zeros.
std::string BackupArchivePath(std::string_view folder, const platform::LocalTime& time);

// The three manifest record texts.
std::string RegRecord(std::string_view keyName, std::string_view fileName);
std::string FileRecord(std::string_view entryName, std::string_view fileName,
                       std::string_view folder);
std::string CookieRecord(std::string_view entryName, std::string_view cookieName,
                         std::string_view cookiePath);

// Appends `record` to the manifest, creating it when missing. A manifest that
// cannot be written is skipped: the backup goes on with what it has.
void AppendManifestRecord(platform::FileSystem& files, std::string_view manifestPath,
                          std::string_view record);

struct BackupOptions {
    // Milliseconds of the system tick count, for the registry export names.
    // Empty: a steady clock.
    std::function<std::uint32_t()> tickCount;
    // Called around the work, for a wait cursor; may be empty.
    std::function<void(bool busy)> busy;
    // Gets the path of the archive written (may be null).
    std::string* archivePath = nullptr;
};

// Backs up the detected records of every detected entry, in list order.
// False when the archive could not be created; the scratch folder is then
// left for the next backup to empty.
bool CreateBackup(platform::System& system, const std::deque<refdb::SpywareEntry>& entries,
                  const BackupOptions& options = {});
// The database's entries and then its built-in ones, into one archive.
bool CreateBackup(platform::System& system, const refdb::ReferenceDatabase& database,
                  const BackupOptions& options = {});

}  // namespace removal
