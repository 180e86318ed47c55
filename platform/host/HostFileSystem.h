#pragma once
// The file system of a Windows machine emulated over host folders: each drive
// letter maps to a host folder, paths are Windows paths in UTF-8, and every
// operation answers with the Win32 error Windows gives.
//
// - Names are looked up case-insensitively (ASCII folding); when several host
//   names differ only in case, the exact spelling wins, otherwise the bytewise
//   smallest. New names keep the case they are given.
// - ".." never leaves the mapped folder: it stops at the drive root as
//   "C:\..\x" does on Windows. Drive-relative and relative paths, and paths on
//   unmapped drives, fail with kErrorPathNotFound.
// - Host symbolic links are never followed: a link is listed as a plain file,
//   cannot be opened for reading or writing (kErrorAccessDenied), is never
//   entered as a folder, and deleting or moving it acts on the link itself.
// - Read-only of a file is the owner-write permission bit; it is enforced here
//   (not left to the host, which lets root write anyway). Read-only of a folder
//   and the hidden, system and archive attributes live in a table in memory
//   for the life of this object. Files start with the archive attribute, as on
//   Windows.
// - Searches follow FindFirstFile: the DOS wildcard rules of FindPattern.h,
//   "." and ".." in folders other than the drive root, results in a stable
//   order (dot entries first, then by name ignoring case).
// - Delete-at-restart requests are recorded, never carried out.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace platform::host {

class UniqueFd;

class HostFileSystem : public FileSystem {
  public:
    HostFileSystem();
    ~HostFileSystem() override;
    HostFileSystem(const HostFileSystem&) = delete;
    HostFileSystem& operator=(const HostFileSystem&) = delete;

    // Maps drive `letter` (either case) to `hostFolder`, replacing an earlier
    // mapping of that letter. A letter outside A-Z is ignored.
    void MapDrive(char letter, std::string hostFolder, DriveType type = DriveType::kFixed);
    // The folder TempFolder() reports (a Windows path; a trailing backslash is
    // added). Until set, it is "C:\Windows\Temp\" when C: is mapped, and empty
    // (GetTempPath failing) otherwise; an empty path goes back to that. The
    // folder is not created.
    void SetTempFolder(std::string windowsPath);
    // Every path given to DeleteAtRestart, normalized ("C:\Folder\file.txt"),
    // in request order.
    const std::vector<std::string>& PendingDeletes() const { return pendingDeletes_; }

    std::unique_ptr<FileSearch> Find(std::string_view pattern) override;
    std::uint32_t GetAttributes(std::string_view path) override;
    Status SetAttributes(std::string_view path, std::uint32_t attributes) override;
    Status CreateDirectory(std::string_view path) override;
    Status RemoveDirectory(std::string_view path) override;
    Status DeleteFile(std::string_view path) override;
    Status CopyFile(std::string_view from, std::string_view to, bool failIfExists) override;
    Status MoveFile(std::string_view from, std::string_view to, bool replaceExisting) override;
    Status DeleteAtRestart(std::string_view path) override;
    Status ReadFile(std::string_view path, std::string* contents) override;
    Status WriteFile(std::string_view path, std::string_view contents) override;
    Status AppendFile(std::string_view path, std::string_view contents) override;
    Status GetFileSize(std::string_view path, std::uint64_t* size) override;
    std::unique_ptr<FileReader> OpenRead(std::string_view path, Status* error) override;
    std::unique_ptr<FileWriter> OpenWrite(std::string_view path, bool append,
                                          Status* error) override;
    std::vector<Drive> LogicalDrives() override;
    std::string TempFolder() override;

  private:
    struct MappedDrive {
        std::string hostFolder;
        DriveType type = DriveType::kFixed;
    };
    struct Location;

    Status Locate(std::string_view path, Location* out) const;
    // From the host's mode bits (st_mode) and the table.
    std::uint32_t AttributesOf(const std::string& hostPath, unsigned mode) const;
    std::uint32_t StoredFlags(const std::string& hostPath, bool isDirectory) const;
    bool IsReadOnly(const std::string& hostPath) const;
    void MarkWritten(const std::string& hostPath);
    using FlagTable = std::map<std::string, std::uint32_t>;
    template <typename Visit>
    void ForEachFlagsBelow(const std::string& hostPath, Visit visit);
    void ForgetFlags(const std::string& hostPath);
    void MoveFlags(const std::string& fromHostPath, const std::string& toHostPath);
    Status OpenForWriting(const Location& target, bool append, UniqueFd* fd);
    Status CopyContents(const std::string& fromHostPath, const Location& target);

    std::map<char, MappedDrive> drives_;
    // Attributes the host cannot hold, by host path: hidden, system, archive,
    // and read-only of folders.
    FlagTable flags_;
    std::vector<std::string> pendingDeletes_;
    std::string tempFolder_;
};

}  // namespace platform::host
