#pragma once
// What the file-system conformance cases need from the implementation under
// test: the file system, a fresh folder per case, a look at the
// delete-at-restart records that the interface cannot read back, and the
// running program's view of itself.
#include <string>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/Processes.h"

namespace conformance {

platform::FileSystem& ConformanceFileSystem();
// Its module file name is an existing file of ConformanceFileSystem().
platform::Processes& ConformanceProcesses();

// Creates a new, empty folder for one case and returns its Windows path
// (no trailing backslash).
std::string ConformanceMakeScratchFolder();
// Removes that folder with everything in it, read-only entries included, and
// forgets delete-at-restart records below it.
void ConformanceRemoveScratchFolder(const std::string& folder);

// Whether a delete-at-restart request is on record for `path`.
bool ConformanceDeleteIsPending(std::string_view path);

}  // namespace conformance
