#pragma once
// The zip module over the platform file system: extracting members into a
// folder and adding files to an archive. Extraction goes only below the
// folder given: a member whose name is not safe is refused (kUnsafeName).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "zip/ZipReader.h"
#include "zip/ZipWriter.h"

namespace zip {

// Extracts one member below `folder` under its UTF-8 name, creating the
// folders on the way and replacing a file of the same path. A folder member
// only creates the folder. `folder` itself must exist. A file left
// incomplete by a failure is deleted.
// `writtenPath` (optional) gets the path of the file or folder.
Error ExtractMemberToFolder(Reader& reader, std::size_t index, platform::FileSystem& files,
                            std::string_view folder, std::string* writtenPath = nullptr);

// Extracts every member in archive order; stops at the first failure.
// `writtenPaths` (optional) gets the paths of the files written.
Error ExtractAllToFolder(Reader& reader, platform::FileSystem& files, std::string_view folder,
                         std::vector<std::string>* writtenPaths = nullptr);

// Adds the file at `path` under `memberName`, streamed from the disk.
Error AddFileToArchive(Writer& writer, platform::FileSystem& files, std::string_view path,
                       std::string_view memberName, const MemberOptions& options = {});

}  // namespace zip
