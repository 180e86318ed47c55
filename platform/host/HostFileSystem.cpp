#include "platform/host/HostFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <new>
#include <stdexcept>
#include <utility>

#include "platform/Text.h"
#include "platform/host/FindPattern.h"
#include "platform/host/PosixFile.h"

namespace platform::host {

namespace {

// ---------------------------------------------------------------------------
// Host helpers.

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Characters Windows refuses in a name (the wildcards among them are only
// meaningful in the last component of a search).
bool HasInvalidNameCharacter(std::string_view name) {
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20)
            return true;
        switch (c) {
            case '<':
            case '>':
            case ':':
            case '"':
            case '|':
            case '?':
            case '*':
                return true;
            default:
                break;
        }
    }
    return false;
}

std::string HostJoin(const std::string& folder, std::string_view name) {
    std::string out = folder;
    if (out.empty() || out.back() != '/')
        out += '/';
    out += name;
    return out;
}

class HostFileSearch : public FileSearch {
  public:
    HostFileSearch(std::vector<FindData> results, Status failure)
        : results_(std::move(results)), error_(failure) {
        if (error_ == kSuccess && results_.empty())
            error_ = kErrorFileNotFound;
    }

    bool Next(FindData& out) override {
        if (next_ < results_.size()) {
            out = results_[next_++];
            return true;
        }
        if (!results_.empty())
            error_ = kErrorNoMoreFiles;
        return false;
    }
    Status Error() const override { return error_; }

  private:
    std::vector<FindData> results_;
    std::size_t next_ = 0;
    Status error_;
};

enum class Kind { kMissing, kFile, kDirectory, kOther };

Kind KindOf(const std::string& hostPath, struct stat* st) {
    if (::lstat(hostPath.c_str(), st) != 0)
        return Kind::kMissing;
    if (S_ISDIR(st->st_mode))
        return Kind::kDirectory;
    if (S_ISREG(st->st_mode))
        return Kind::kFile;
    return Kind::kOther;
}

// The host name of `name` in `folder`: the exact spelling when it exists,
// otherwise the bytewise smallest name equal to it ignoring case.
bool FindHostName(const std::string& folder, std::string_view name, std::string* found) {
    struct stat st {};
    std::string exact = HostJoin(folder, name);
    if (::lstat(exact.c_str(), &st) == 0) {
        *found = std::string(name);
        return true;
    }
    UniqueDir dir(::opendir(folder.c_str()));
    if (dir.Get() == nullptr)
        return false;
    bool any = false;
    while (const dirent* entry = ::readdir(dir.Get())) {
        std::string_view candidate = entry->d_name;
        if (candidate == "." || candidate == "..")
            continue;
        if (!text::EqualsNoCase(candidate, name))
            continue;
        if (!any || candidate < *found)
            *found = std::string(candidate);
        any = true;
    }
    return any;
}

struct ParsedPath {
    char drive = 0;
    std::vector<std::string> components;
    bool trailingSeparator = false;
};

// "X:\a\b" with '\' or '/': empty and "." components dropped, ".." stopping at
// the root, trailing dots and spaces of names dropped as Windows does.
bool ParseWindowsPath(std::string_view path, ParsedPath* out) {
    if (path.size() < 3 || path[1] != ':' || !IsSeparator(path[2]))
        return false;
    const char letter = text::ToUpperAscii(path[0]);
    if (letter < 'A' || letter > 'Z')
        return false;
    out->drive = letter;
    out->components.clear();
    std::string_view rest = path.substr(3);
    out->trailingSeparator = !rest.empty() && IsSeparator(rest.back());
    std::size_t start = 0;
    while (start <= rest.size()) {
        std::size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end]))
            ++end;
        std::string_view piece = rest.substr(start, end - start);
        if (piece == "..") {
            if (!out->components.empty())
                out->components.pop_back();
        } else if (piece != ".") {
            piece = WithoutTrailingDotsAndSpaces(piece);
            if (!piece.empty())
                out->components.emplace_back(piece);
        }
        start = end + 1;
    }
    return true;
}

FindData MakeFindData(std::string name, const struct stat& st, std::uint32_t attributes) {
    FindData data;
    data.name = std::move(name);
    data.attributes = attributes;
    data.size = S_ISREG(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
    data.lastWriteTime = FileTimeOf(st);
    return data;
}

}  // namespace

// Where a Windows path lands on the host.
struct HostFileSystem::Location {
    char drive = 0;
    std::string windowsPath;  // normalized, with the case as given
    bool isRoot = false;
    bool trailingSeparator = false;
    // Every folder above the last component exists (always true for a root).
    bool parentExists = false;
    std::string parentHostPath;
    std::string requestedName;  // the last component as given
    // The entry itself; hostPath is where it is or would be created.
    Kind kind = Kind::kMissing;
    struct stat st {};
    std::string hostPath;

    bool Exists() const { return kind != Kind::kMissing; }
    // The usual "not there" answers: 3 when a folder on the way is missing,
    // 2 when only the last component is.
    Status MissingError() const { return parentExists ? kErrorFileNotFound : kErrorPathNotFound; }
};

HostFileSystem::HostFileSystem() = default;
HostFileSystem::~HostFileSystem() = default;

void HostFileSystem::MapDrive(char letter, std::string hostFolder, DriveType type) {
    const char upper = text::ToUpperAscii(letter);
    if (upper < 'A' || upper > 'Z')
        return;
    while (hostFolder.size() > 1 && hostFolder.back() == '/')
        hostFolder.pop_back();
    drives_[upper] = MappedDrive{std::move(hostFolder), type};
}

void HostFileSystem::SetTempFolder(std::string windowsPath) {
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    if (!windowsPath.empty() && windowsPath.back() != '\\')
        windowsPath += '\\';
    tempFolder_ = std::move(windowsPath);
}

Status HostFileSystem::Locate(std::string_view path, Location* out) const {
    ParsedPath parsed;
    if (!ParseWindowsPath(path, &parsed))
        return kErrorPathNotFound;
    auto drive = drives_.find(parsed.drive);
    if (drive == drives_.end())
        return kErrorPathNotFound;
    for (const std::string& component : parsed.components) {
        if (HasInvalidNameCharacter(component))
            return kErrorInvalidName;
    }

    *out = Location{};
    out->drive = parsed.drive;
    out->trailingSeparator = parsed.trailingSeparator;
    out->windowsPath = std::string(1, parsed.drive) + ":\\";
    for (std::size_t i = 0; i < parsed.components.size(); ++i) {
        if (i > 0)
            out->windowsPath += '\\';
        out->windowsPath += parsed.components[i];
    }

    std::string folder = drive->second.hostFolder;
    if (parsed.components.empty()) {
        out->isRoot = true;
        out->parentExists = true;
        out->hostPath = folder;
        out->kind = KindOf(folder, &out->st);
        return kSuccess;
    }
    const std::size_t last = parsed.components.size() - 1;
    for (std::size_t i = 0; i < last; ++i) {
        std::string name;
        struct stat st {};
        if (!FindHostName(folder, parsed.components[i], &name))
            return kSuccess;
        folder = HostJoin(folder, name);
        if (KindOf(folder, &st) != Kind::kDirectory)
            return kSuccess;
    }
    out->parentExists = true;
    out->parentHostPath = folder;
    out->requestedName = parsed.components[last];
    std::string name;
    if (FindHostName(folder, out->requestedName, &name)) {
        out->hostPath = HostJoin(folder, name);
        out->kind = KindOf(out->hostPath, &out->st);
        // "file.txt\" names a folder that is not there.
        if (out->trailingSeparator && out->kind != Kind::kDirectory) {
            out->parentExists = false;
            out->kind = Kind::kMissing;
        }
    } else {
        out->hostPath = HostJoin(folder, out->requestedName);
    }
    return kSuccess;
}

std::uint32_t HostFileSystem::StoredFlags(const std::string& hostPath, bool isDirectory) const {
    auto it = flags_.find(hostPath);
    if (it != flags_.end())
        return it->second;
    return isDirectory ? 0 : kAttrArchive;
}

bool HostFileSystem::IsReadOnly(const std::string& hostPath) const {
    struct stat st {};
    switch (KindOf(hostPath, &st)) {
        case Kind::kFile:
            return (st.st_mode & S_IWUSR) == 0;
        case Kind::kDirectory:
            return (StoredFlags(hostPath, true) & kAttrReadOnly) != 0;
        default:
            return false;
    }
}

std::uint32_t HostFileSystem::AttributesOf(const std::string& hostPath, unsigned mode) const {
    if (S_ISDIR(mode))
        return StoredFlags(hostPath, true) | kAttrDirectory;
    std::uint32_t attributes = StoredFlags(hostPath, false);
    if (S_ISREG(mode) && (mode & S_IWUSR) == 0)
        attributes |= kAttrReadOnly;
    return attributes == 0 ? kAttrNormal : attributes;
}

void HostFileSystem::MarkWritten(const std::string& hostPath) {
    auto it = flags_.find(hostPath);
    if (it != flags_.end())
        it->second |= kAttrArchive;
}

// Visits the entry of `hostPath` and those of everything below it.
template <typename Visit>
void HostFileSystem::ForEachFlagsBelow(const std::string& hostPath, Visit visit) {
    if (auto it = flags_.find(hostPath); it != flags_.end())
        visit(it);
    const std::string prefix = hostPath + '/';
    for (auto it = flags_.lower_bound(prefix);
         it != flags_.end() && it->first.compare(0, prefix.size(), prefix) == 0;) {
        visit(it++);
    }
}

void HostFileSystem::ForgetFlags(const std::string& hostPath) {
    ForEachFlagsBelow(hostPath, [this](FlagTable::iterator it) { flags_.erase(it); });
}

void HostFileSystem::MoveFlags(const std::string& fromHostPath, const std::string& toHostPath) {
    if (fromHostPath == toHostPath)
        return;
    std::vector<std::pair<std::string, std::uint32_t>> moved;
    ForEachFlagsBelow(fromHostPath, [&](FlagTable::iterator it) {
        moved.emplace_back(toHostPath + it->first.substr(fromHostPath.size()), it->second);
        flags_.erase(it);
    });
    ForgetFlags(toHostPath);
    for (auto& [path, flags] : moved)
        flags_[path] = flags;
}

std::unique_ptr<FileSearch> HostFileSystem::Find(std::string_view pattern) {
    auto fail = [](Status error) {
        return std::make_unique<HostFileSearch>(std::vector<FindData>{}, error);
    };
    const std::string_view last = text::FileName(pattern);
    if (last.empty())
        return fail(kErrorFileNotFound);

    std::vector<FindData> results;
    if (WithoutTrailingDotsAndSpaces(last).empty()) {
        // "Folder\." and "Folder\..": the entry the path comes to, by its name.
        Location entry;
        if (Status status = Locate(pattern, &entry); status != kSuccess)
            return fail(status);
        if (entry.isRoot)
            return fail(kErrorFileNotFound);
        if (!entry.Exists())
            return fail(entry.MissingError());
        results.push_back(MakeFindData(std::string(text::FileName(entry.hostPath)), entry.st,
                                       AttributesOf(entry.hostPath, entry.st.st_mode)));
        return std::make_unique<HostFileSearch>(std::move(results), kSuccess);
    }

    Location folder;
    if (Status status = Locate(std::string(text::ParentPath(pattern)) + '\\', &folder);
        status != kSuccess) {
        return fail(status);
    }
    if (folder.kind != Kind::kDirectory)
        return fail(kErrorPathNotFound);
    UniqueDir dir(::opendir(folder.hostPath.c_str()));
    if (dir.Get() == nullptr)
        return fail(StatusFromErrno(errno));

    const FindPattern matcher(last);
    if (!folder.isRoot) {
        const std::pair<const char*, const std::string*> dots[] = {{".", &folder.hostPath},
                                                                   {"..", &folder.parentHostPath}};
        for (const auto& [name, hostPath] : dots) {
            struct stat st {};
            if (matcher.Matches(name) && KindOf(*hostPath, &st) == Kind::kDirectory) {
                results.push_back(MakeFindData(name, st, AttributesOf(*hostPath, st.st_mode)));
            }
        }
    }
    const std::size_t firstName = results.size();
    while (const dirent* entry = ::readdir(dir.Get())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !matcher.Matches(name))
            continue;
        const std::string hostPath = HostJoin(folder.hostPath, name);
        struct stat st {};
        if (KindOf(hostPath, &st) == Kind::kMissing)
            continue;  // gone meanwhile
        results.push_back(MakeFindData(std::string(name), st, AttributesOf(hostPath, st.st_mode)));
    }
    std::sort(results.begin() + static_cast<std::ptrdiff_t>(firstName), results.end(),
              [](const FindData& a, const FindData& b) {
                  const int order = text::CompareNoCase(a.name, b.name);
                  return order != 0 ? order < 0 : a.name < b.name;
              });
    return std::make_unique<HostFileSearch>(std::move(results), kSuccess);
}

std::uint32_t HostFileSystem::GetAttributes(std::string_view path) {
    Location at;
    if (Locate(path, &at) != kSuccess || !at.Exists())
        return kInvalidAttributes;
    return AttributesOf(at.hostPath, at.st.st_mode);
}

Status HostFileSystem::SetAttributes(std::string_view path, std::uint32_t attributes) {
    Location at;
    if (Status status = Locate(path, &at); status != kSuccess)
        return status;
    if (!at.Exists())
        return at.MissingError();
    std::uint32_t kept = attributes & (kAttrHidden | kAttrSystem | kAttrArchive);
    if (at.kind == Kind::kFile) {
        const mode_t writable = S_IWUSR | S_IWGRP | S_IWOTH;
        mode_t mode = at.st.st_mode & 07777;
        mode = (attributes & kAttrReadOnly) != 0 ? (mode & ~writable) : (mode | S_IWUSR);
        if (::chmod(at.hostPath.c_str(), mode) != 0)
            return StatusFromErrno(errno);
    } else if (at.kind == Kind::kDirectory) {
        kept |= attributes & kAttrReadOnly;
    }
    flags_[at.hostPath] = kept;
    return kSuccess;
}

Status HostFileSystem::CreateDirectory(std::string_view path) {
    Location at;
    if (Status status = Locate(path, &at); status != kSuccess)
        return status;
    if (!at.parentExists)
        return kErrorPathNotFound;
    if (at.Exists())
        return kErrorAlreadyExists;
    if (::mkdir(at.hostPath.c_str(), 0777) != 0)
        return StatusFromErrno(errno);
    ForgetFlags(at.hostPath);
    return kSuccess;
}

Status HostFileSystem::RemoveDirectory(std::string_view path) {
    Location at;
    if (Status status = Locate(path, &at); status != kSuccess)
        return status;
    if (!at.Exists())
        return at.MissingError();
    if (at.isRoot)
        return kErrorAccessDenied;
    if (at.kind != Kind::kDirectory)
        return kErrorDirectory;
    if (IsReadOnly(at.hostPath))
        return kErrorAccessDenied;
    if (::rmdir(at.hostPath.c_str()) != 0) {
        return errno == EEXIST ? kErrorDirNotEmpty : StatusFromErrno(errno);
    }
    ForgetFlags(at.hostPath);
    return kSuccess;
}

Status HostFileSystem::DeleteFile(std::string_view path) {
    Location at;
    if (Status status = Locate(path, &at); status != kSuccess)
        return status;
    if (!at.Exists())
        return at.MissingError();
    if (at.kind == Kind::kDirectory || IsReadOnly(at.hostPath))
        return kErrorAccessDenied;
    if (::unlink(at.hostPath.c_str()) != 0)
        return StatusFromErrno(errno);
    ForgetFlags(at.hostPath);
    return kSuccess;
}

Status HostFileSystem::OpenForWriting(const Location& target, bool append, UniqueFd* fd) {
    if (!target.parentExists)
        return kErrorPathNotFound;
    if (target.isRoot || target.kind == Kind::kDirectory || target.kind == Kind::kOther) {
        return kErrorAccessDenied;
    }
    if (target.kind == Kind::kFile && IsReadOnly(target.hostPath))
        return kErrorAccessDenied;
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    UniqueFd opened(::open(target.hostPath.c_str(), flags, 0666));
    if (!opened)
        return StatusFromErrno(errno);
    if (!target.Exists())
        ForgetFlags(target.hostPath);
    MarkWritten(target.hostPath);
    *fd = std::move(opened);
    return kSuccess;
}

Status HostFileSystem::CopyContents(const std::string& fromHostPath, const Location& target) {
    UniqueFd source;
    if (Status status = OpenRegularForReading(fromHostPath, &source); status != kSuccess) {
        return status;
    }
    struct stat sourceStat {};
    if (::fstat(source.Get(), &sourceStat) != 0)
        return StatusFromErrno(errno);
    UniqueFd destination;
    if (Status status = OpenForWriting(target, false, &destination); status != kSuccess)
        return status;

    std::vector<char> buffer(64 * 1024);
    Status status = kSuccess;
    for (;;) {
        std::size_t got = 0;
        status = ReadFully(source.Get(), buffer.data(), buffer.size(), &got);
        if (status != kSuccess || got == 0)
            break;
        status = WriteFully(destination.Get(), buffer.data(), got);
        if (status != kSuccess)
            break;
    }
    if (status == kSuccess) {
        // CopyFile carries the last write time and the attributes along; the
        // time is a nicety the copy is complete without.
        const struct timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
        (void)::futimens(destination.Get(), times);
        if (::fchmod(destination.Get(), sourceStat.st_mode & 07777) != 0) {
            status = StatusFromErrno(errno);
        }
    }
    const Status closed = destination.Close();
    if (status == kSuccess)
        status = closed;
    if (status != kSuccess) {
        // Like CopyFile, leave no partial copy behind.
        ::unlink(target.hostPath.c_str());
        ForgetFlags(target.hostPath);
        return status;
    }
    flags_[target.hostPath] = StoredFlags(fromHostPath, false);
    return kSuccess;
}

Status HostFileSystem::CopyFile(std::string_view from, std::string_view to, bool failIfExists) {
    Location source, target;
    if (Status status = Locate(from, &source); status != kSuccess)
        return status;
    if (!source.Exists())
        return source.MissingError();
    if (source.kind != Kind::kFile)
        return kErrorAccessDenied;
    if (Status status = Locate(to, &target); status != kSuccess)
        return status;
    if (!target.parentExists)
        return kErrorPathNotFound;
    if (target.Exists()) {
        if (failIfExists)
            return kErrorFileExists;
        if (target.hostPath == source.hostPath)
            return kErrorSharingViolation;
    }
    return CopyContents(source.hostPath, target);
}

Status HostFileSystem::MoveFile(std::string_view from, std::string_view to, bool replaceExisting) {
    Location source, target;
    if (Status status = Locate(from, &source); status != kSuccess)
        return status;
    if (!source.Exists())
        return source.MissingError();
    if (source.isRoot)
        return kErrorAccessDenied;
    if (Status status = Locate(to, &target); status != kSuccess)
        return status;
    if (!target.parentExists)
        return kErrorPathNotFound;
    if (target.isRoot)
        return kErrorAccessDenied;
    if (source.drive != target.drive)
        return kErrorNotSameDevice;

    std::string destination = HostJoin(target.parentHostPath, target.requestedName);
    if (target.Exists() && target.hostPath != source.hostPath) {
        // Replacing another entry; a change of case alone renames in place.
        if (!replaceExisting)
            return kErrorAlreadyExists;
        if (target.kind == Kind::kDirectory || source.kind == Kind::kDirectory) {
            return kErrorAccessDenied;
        }
        if (IsReadOnly(target.hostPath))
            return kErrorAccessDenied;
        destination = target.hostPath;
    }
    if (::rename(source.hostPath.c_str(), destination.c_str()) != 0)
        return StatusFromErrno(errno);
    MoveFlags(source.hostPath, destination);
    return kSuccess;
}

Status HostFileSystem::DeleteAtRestart(std::string_view path) {
    Location at;
    if (Status status = Locate(path, &at); status != kSuccess)
        return status;
    if (at.isRoot)
        return kErrorAccessDenied;
    pendingDeletes_.push_back(at.windowsPath);
    return kSuccess;
}

Status HostFileSystem::ReadFile(std::string_view path, std::string* contents) {
    if (contents == nullptr)
        return kErrorInvalidParameter;
    Status status = kSuccess;
    std::unique_ptr<FileReader> reader = OpenRead(path, &status);
    if (!reader)
        return status;
    // Never more than the file holds, so a huge or growing file cannot make
    // this allocate without bound.
    const std::uint64_t size = reader->Size();
    if (size > contents->max_size())
        return kErrorNotEnoughMemory;
    try {
        contents->assign(static_cast<std::size_t>(size), '\0');
    } catch (const std::bad_alloc&) {
        return kErrorNotEnoughMemory;
    } catch (const std::length_error&) {
        return kErrorNotEnoughMemory;
    }
    const std::size_t got = reader->Read(contents->data(), contents->size());
    if (reader->Error() != kSuccess) {
        contents->clear();
        return reader->Error();
    }
    contents->resize(got);
    return kSuccess;
}

Status HostFileSystem::WriteFile(std::string_view path, std::string_view contents) {
    Status status = kSuccess;
    std::unique_ptr<FileWriter> writer = OpenWrite(path, false, &status);
    if (!writer)
        return status;
    status = writer->Write(contents.data(), contents.size());
    const Status closed = writer->Close();
    return status != kSuccess ? status : closed;
}

Status HostFileSystem::AppendFile(std::string_view path, std::string_view contents) {
    Status status = kSuccess;
    std::unique_ptr<FileWriter> writer = OpenWrite(path, true, &status);
    if (!writer)
        return status;
    status = writer->Write(contents.data(), contents.size());
    const Status closed = writer->Close();
    return status != kSuccess ? status : closed;
}

Status HostFileSystem::GetFileSize(std::string_view path, std::uint64_t* size) {
    if (size == nullptr)
        return kErrorInvalidParameter;
    Location at;
    if (Status status = Locate(path, &at); status != kSuccess)
        return status;
    if (!at.Exists())
        return at.MissingError();
    if (at.kind == Kind::kDirectory)
        return kErrorAccessDenied;
    *size = at.kind == Kind::kFile ? static_cast<std::uint64_t>(at.st.st_size) : 0;
    return kSuccess;
}

std::unique_ptr<FileReader> HostFileSystem::OpenRead(std::string_view path, Status* error) {
    Status ignored = kSuccess;
    Status& result = error != nullptr ? *error : ignored;
    Location at;
    if (result = Locate(path, &at); result != kSuccess)
        return nullptr;
    if (!at.Exists()) {
        result = at.MissingError();
        return nullptr;
    }
    UniqueFd fd;
    if (result = OpenRegularForReading(at.hostPath, &fd); result != kSuccess)
        return nullptr;
    return MakeFileReader(std::move(fd));
}

std::unique_ptr<FileWriter> HostFileSystem::OpenWrite(std::string_view path, bool append,
                                                      Status* error) {
    Status ignored = kSuccess;
    Status& result = error != nullptr ? *error : ignored;
    Location at;
    if (result = Locate(path, &at); result != kSuccess)
        return nullptr;
    UniqueFd fd;
    if (result = OpenForWriting(at, append, &fd); result != kSuccess)
        return nullptr;
    return MakeFileWriter(std::move(fd));
}

std::vector<Drive> HostFileSystem::LogicalDrives() {
    std::vector<Drive> drives;
    for (const auto& [letter, mapped] : drives_) {
        drives.push_back(Drive{std::string(1, letter) + ":\\", mapped.type});
    }
    return drives;
}

std::string HostFileSystem::TempFolder() {
    if (!tempFolder_.empty())
        return tempFolder_;
    if (drives_.count('C') != 0)
        return "C:\\Windows\\Temp\\";
    return {};
}

}  // namespace platform::host
