#pragma once
// Installing a downloaded (and verified) archive: its members are unpacked
// into a staging folder beside the program, the Reference file among them
// must load, then the members move into the program's folder, "rfp" and
// "df" are switched to the new file and, once it loads there, the old file
// is deleted. Until then the file in use and the settings stay as they were.
#include <string>

#include "platform/System.h"

namespace update {

struct InstallPlan {
    std::string archivePath;  // the archive in the program's folder; always deleted
    std::string folder;       // the program's folder, without a trailing backslash
    std::string newPath;      // folder\ the archive name without its last extension
    std::string oldPath;      // "rfp" before the update
    std::string oldName;      // "df" before the update
};

// True when the new Reference file is in place and in use. False leaves the
// old file and settings in use; `detail` says why.
bool InstallArchive(platform::System& system, const InstallPlan& plan, std::string* detail);

// True when the Reference file at `path` reads and parses.
bool ReferenceFileLoads(platform::System& system, const std::string& path, std::string* detail);

}  // namespace update
