#pragma once
// Files and folders as the logic sees them: Windows paths as UTF-8 text
// ("C:\Folder\file.txt"), Win32 semantics and error codes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Win32Error.h"

namespace platform {

inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
inline constexpr std::uint32_t kAttrNormal = 0x80;
inline constexpr std::uint32_t kInvalidAttributes = 0xFFFFFFFFu;

enum class DriveType : std::uint32_t {
    kUnknown = 0,
    kNoRootDir = 1,
    kRemovable = 2,
    kFixed = 3,
    kRemote = 4,
    kCdRom = 5,
    kRamDisk = 6,
};

struct Drive {
    std::string root;  // "C:\"
    DriveType type = DriveType::kUnknown;
};

// One entry of a wildcard search.
struct FindData {
    std::string name;  // the last path component only
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    std::uint64_t lastWriteTime = 0;  // FILETIME ticks (100 ns since 1601)

    bool IsDirectory() const { return (attributes & kAttrDirectory) != 0; }
};

// FindFirstFile / FindNextFile as one object.
class FileSearch {
  public:
    virtual ~FileSearch() = default;
    // The next match; false when there is none (then Error() tells why the
    // search found nothing: kErrorFileNotFound, kErrorPathNotFound or
    // kErrorNoMoreFiles after the last match).
    virtual bool Next(FindData& out) = 0;
    virtual Status Error() const = 0;
};

// An open file for chunked reading.
class FileReader {
  public:
    virtual ~FileReader() = default;
    // Reads up to `size` bytes; returns the count read, 0 at the end or on
    // failure (then Error() is nonzero).
    virtual std::size_t Read(void* buffer, std::size_t size) = 0;
    virtual Status Seek(std::uint64_t offset) = 0;
    virtual std::uint64_t Size() const = 0;
    virtual Status Error() const = 0;
};

// An open file for chunked writing.
class FileWriter {
  public:
    virtual ~FileWriter() = default;
    virtual Status Write(const void* data, std::size_t size) = 0;
    // Flushes and closes; the result tells whether everything reached the disk.
    virtual Status Close() = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // FindFirstFile semantics: `pattern` is a path whose last component may
    // hold * and ?; folders report "." and ".." where Windows does.
    virtual std::unique_ptr<FileSearch> Find(std::string_view pattern) = 0;

    // GetFileAttributes: kInvalidAttributes when the path does not exist.
    virtual std::uint32_t GetAttributes(std::string_view path) = 0;
    virtual Status SetAttributes(std::string_view path, std::uint32_t attributes) = 0;
    bool Exists(std::string_view path) { return GetAttributes(path) != kInvalidAttributes; }
    bool IsDirectory(std::string_view path) {
        std::uint32_t attributes = GetAttributes(path);
        return attributes != kInvalidAttributes && (attributes & kAttrDirectory) != 0;
    }

    // CreateDirectory (one level; kErrorAlreadyExists when it exists).
    virtual Status CreateDirectory(std::string_view path) = 0;
    // RemoveDirectory (kErrorDirNotEmpty when not empty).
    virtual Status RemoveDirectory(std::string_view path) = 0;
    // DeleteFile (kErrorAccessDenied for a read-only file, as on Windows).
    virtual Status DeleteFile(std::string_view path) = 0;
    // CopyFile; with failIfExists an existing target gives kErrorFileExists.
    virtual Status CopyFile(std::string_view from, std::string_view to, bool failIfExists) = 0;
    // MoveFileEx with MOVEFILE_REPLACE_EXISTING when `replaceExisting`.
    virtual Status MoveFile(std::string_view from, std::string_view to, bool replaceExisting) = 0;
    // MoveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT).
    virtual Status DeleteAtRestart(std::string_view path) = 0;

    // Whole-file operations.
    virtual Status ReadFile(std::string_view path, std::string* contents) = 0;
    // Creates or truncates.
    virtual Status WriteFile(std::string_view path, std::string_view contents) = 0;
    // Creates when missing, then appends.
    virtual Status AppendFile(std::string_view path, std::string_view contents) = 0;
    virtual Status GetFileSize(std::string_view path, std::uint64_t* size) = 0;

    // Chunked access. On failure the result is null and `error` is set.
    virtual std::unique_ptr<FileReader> OpenRead(std::string_view path, Status* error) = 0;
    virtual std::unique_ptr<FileWriter> OpenWrite(std::string_view path, bool append,
                                                  Status* error) = 0;

    // The logical drives in drive-letter order, with their types.
    virtual std::vector<Drive> LogicalDrives() = 0;
    // GetTempPath: the temporary folder with a trailing backslash.
    virtual std::string TempFolder() = 0;

    // The twelve version strings of an executable's version resource
    // (CompanyName, FileDescription, FileVersion, InternalName,
    // LegalCopyright, OriginalFileName, ProductName, ProductVersion,
    // Comments, LegalTrademarks, PrivateBuild, SpecialBuild); false when the
    // file has none.
    virtual bool ReadVersionStrings(std::string_view path, std::array<std::string, 12>* strings) {
        (void)path;
        (void)strings;
        return false;
    }
};

}  // namespace platform
