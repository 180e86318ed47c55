#pragma once
// Deleting what a scan found on disk: files, members of zip archives and the
// empty folders of a tree.
#include <string>
#include <string_view>
#include <vector>

#include "platform/System.h"
#include "refdb/ReferenceDatabase.h"
#include "removal/RemovalLog.h"

namespace removal {

// Deletes a file, or the archive member when the path reads
// "archive?member". Returns kSuccess or the failure's Win32 error code.
platform::Status DeleteDetectedFile(platform::FileSystem& files, std::string_view path);

// The files a cookie detection stands for: every numbered file of the same
// cookie name ("*@name[*].txt") in the folder where the scan found it.
std::vector<std::string> CookieFiles(platform::FileSystem& files, const refdb::CookieItem& cookie);

// Rewrites the archive without the member (compared ignoring case). The new
// archive is written beside the old one under a temporary name and replaces
// it only when complete, so a failure never loses the other members.
bool RemoveZipMember(platform::FileSystem& files, std::string_view archivePath,
                     std::string_view memberName);

// Removes the folders of the tree that hold no files, deepest first; each
// failure is logged. True when every such folder was removed. A path that
// does not exist counts as a failure.
bool RemoveFolderTree(platform::FileSystem& files, std::string_view path, CLogFile& log);

}  // namespace removal
