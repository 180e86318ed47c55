#pragma once
// What the file checks share: a depth-first walk that reuses one path string
// for every file it meets, and the checksum of a file into reused storage.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "scan/ScanContext.h"

namespace scan {

class Md5;

// Files of more than this many whole MiB are never read for a checksum: no
// listed checksum belongs to one.
inline constexpr std::uint64_t kMiB = 1048576;
inline constexpr std::uint64_t kLargestChecksummedMiB = 5;
// What a file too large to read gives as its checksum (the text "z").
inline constexpr char kTooLargeChecksum = 'z';

// FILE_ATTRIBUTE_REPARSE_POINT. Junctions and folder links are not entered:
// they can lead back into the tree being walked.
inline constexpr std::uint32_t kAttrReparsePoint = 0x400;

// Replaces `hex` with the checksum of the file at `path` (see FileChecksum),
// reading through `buffer` with `md5`.
void ChecksumInto(platform::FileSystem& files, std::string_view path,
                  std::vector<unsigned char>& buffer, Md5& md5, std::string& hex);

// Marks a listed item found at its own place, reading the version strings
// of the file there.
void ReportListedFile(ScanContext& context, refdb::SpywareEntry& entry, refdb::FileItem& item,
                      std::string_view fullPath);

// True for a real digest; "z" and the empty text of an unreadable file match
// nothing.
inline bool IsDigest(std::string_view checksum) {
    return checksum.size() == 32;
}

// Calls visit(path, findData) for every file below a folder, entering each
// subfolder (when recursing) where the listing reaches it. Folders that
// cannot be listed are skipped. The path passed is only valid during the call.
class FileWalk {
  public:
    FileWalk(ScanContext& context, bool recurse) : context_(context), recurse_(recurse) {}

    // False when the walk ended because a stop was requested.
    template <typename Visit>
    bool Run(std::string_view folder, Visit&& visit) {
        path_ = text::WithoutTrailingBackslash(folder);
        // An empty folder would make "\*" the root of the current drive.
        if (path_.empty())
            return !context_.Stopped();
        return Walk(visit) && !context_.Stopped();
    }

  private:
    template <typename Visit>
    bool Walk(Visit& visit) {
        const std::size_t base = path_.size();
        path_ += "\\*";
        std::unique_ptr<platform::FileSearch> search = context_.system.files.Find(path_);
        path_.resize(base);
        if (!search)
            return true;
        platform::FindData data;
        while (search->Next(data)) {
            if (context_.Stopped())
                return false;
            if (data.name == "." || data.name == "..")
                continue;
            path_ += '\\';
            path_ += data.name;
            bool goOn = true;
            if (!data.IsDirectory()) {
                visit(std::string_view(path_), data);
            } else if (recurse_ && (data.attributes & kAttrReparsePoint) == 0) {
                goOn = Walk(visit);
            }
            path_.resize(base);
            if (!goOn)
                return false;
        }
        return true;
    }

    ScanContext& context_;
    bool recurse_;
    std::string path_;
};

// A folder argument as a walk takes it: "C:\", "C:\*" and "C:" all walk C:.
std::string_view WalkRoot(std::string_view folder);

}  // namespace scan
