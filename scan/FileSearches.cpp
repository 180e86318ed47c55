// The passes that walk whole folders and drives: variable files, the system
// drive by name, the deep scan, the chosen folder, and zip members.
#include <string>
#include <unordered_map>
#include <utility>

#include "scan/ChecksumAhead.h"
#include "scan/FileChecks.h"
#include "scan/FileWalk.h"
#include "settings/SettingsStore.h"
#include "zip/ZipReader.h"
#include "zip/ZipStreams.h"

namespace scan {

namespace {

constexpr std::string_view kVariableFilesText = "Scanning Variable Files : ";
constexpr std::string_view kDeepScanText = "Deep Scan : ";
constexpr std::string_view kZipText = "Scanning in zip file : ";
constexpr std::string_view kScratchFolderName = "\\BrindlexScan";

bool IsZipFile(std::string_view path) {
    return text::EndsWithNoCase(path, ".zip");
}

// Whether a file of the size its listing gives can have a listed checksum.
bool MayMatchChecksum(const platform::FindData& data) {
    return data.size / kMiB <= kLargestChecksummedMiB;
}

// Walks the files of `folder` and hands each to handle(path, checksum) in
// walk order, the checksum computed ahead when `checksums` is set and the
// file is small enough to have a listed one (empty otherwise). False when
// stopped.
template <typename Handle>
bool WalkWithChecksums(ScanContext& context, std::string_view folder, bool recurse, bool checksums,
                       Handle handle) {
    ChecksumAhead ahead(context);
    auto finish = [&handle](const ChecksumAhead::File& file) {
        handle(std::string_view(file.path), std::string_view(file.checksum));
    };
    FileWalk walk(context, recurse);
    const bool completed =
        walk.Run(folder, [&](std::string_view path, const platform::FindData& data) {
            ahead.Add(path, checksums && MayMatchChecksum(data), finish);
        });
    ahead.Finish(finish);
    return completed && !context.Stopped();
}

// The folder for members that cannot be hashed as they stream out of the
// archive. Every member can (they are inflated at most 64 KiB at a time), so
// nothing ever lands here; the folder is still made and removed around each
// archive.
class ScratchFolder {
  public:
    explicit ScratchFolder(platform::FileSystem& files) : files_(files) {
        const std::string temp = text::WithoutTrailingBackslash(files_.TempFolder());
        if (temp.empty())
            return;
        path_ = temp + std::string(kScratchFolderName);
        files_.CreateDirectory(path_);
    }
    ~ScratchFolder() {
        // Fails harmlessly when something else put files there.
        if (!path_.empty())
            files_.RemoveDirectory(path_);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

  private:
    platform::FileSystem& files_;
    std::string path_;
};

}  // namespace

void ScanZipMembers(ScanContext& context, std::string_view archivePath, const ChecksumIndex& refs) {
    if (settings::SettingsStore(context.system).GetDword("zipfiles") == 0)
        return;
    std::string progress(kZipText);
    progress += archivePath;
    context.ReportProgress(progress);

    platform::FileSystem& files = context.system.files;
    ScratchFolder scratch(files);
    platform::Status status = platform::kSuccess;
    std::unique_ptr<platform::FileReader> file = files.OpenRead(archivePath, &status);
    if (!file)
        return;
    zip::FileReaderSource source(*file);
    zip::Reader archive;
    if (!archive.Open(source).Ok())
        return;

    const std::string_view folder = text::ParentPath(archivePath);
    const std::string_view archiveName = text::FileName(archivePath);
    Md5 md5;
    std::string hex;
    std::string foundName;
    // A stop also ends the member being hashed.
    zip::CallbackSink sink([&](const char* data, std::size_t size) {
        if (context.Stopped())
            return false;
        md5.Update(data, size);
        return true;
    });
    for (std::size_t i = 0; i < archive.Count(); ++i) {
        if (context.Stopped())
            break;
        const zip::Member& member = archive.At(i);
        progress.assign(kZipText);
        progress.append(archivePath).append(" -> ").append(member.utf8Name);
        context.ReportProgress(progress);
        if (member.isDirectory || refs.Empty())
            continue;
        md5.Reset();
        // A member that cannot be inflated (damaged, encrypted, unknown
        // method) has no checksum and matches nothing.
        if (!archive.ExtractTo(i, sink).Ok())
            continue;
        md5.Finish(hex);
        std::span<const refdb::ChecksumRef> matches = refs.Find(hex);
        if (matches.empty())
            continue;
        foundName.assign(archiveName).append("?").append(member.utf8Name);
        ReportFoundByChecksum(context, *matches.front().entry, *matches.front().file, folder,
                              foundName);
    }
}

void ScanZipMembers(ScanContext& context, std::string_view archivePath, const ChecksumRefs& refs) {
    if (settings::SettingsStore(context.system).GetDword("zipfiles") == 0)
        return;
    ScanZipMembers(context, archivePath, ChecksumIndex(refs));
}

void ScanVariableFiles(ScanContext& context, std::string_view folder, const ChecksumIndex& refs,
                       bool recurse) {
    std::string progress;
    WalkWithChecksums(context, folder, recurse, !refs.Empty(),
                      [&](std::string_view path, std::string_view checksum) {
                          if (IsZipFile(path))
                              ScanZipMembers(context, path, refs);
                          if (IsDigest(checksum)) {
                              for (const refdb::ChecksumRef& ref : refs.Find(checksum))
                                  ReportFoundByChecksum(context, *ref.entry, *ref.file, path);
                          }
                          progress.assign(kVariableFilesText);
                          progress += path;
                          context.ReportProgress(progress);
                      });
}

void ScanVariableFiles(ScanContext& context, std::string_view folder, const ChecksumRefs& refs,
                       bool recurse) {
    ScanVariableFiles(context, folder, ChecksumIndex(refs), recurse);
}

void SearchSystemDrive(ScanContext& context, const std::vector<NameWork>& nameWork) {
    std::string drive;
    if (!context.system.environment.ExpandEnvironmentStrings("%SystemDrive%", &drive))
        return;
    const NameIndex names(nameWork);
    FileWalk walk(context, true);
    walk.Run(WalkRoot(drive), [&](std::string_view path, const platform::FindData& data) {
        context.ReportProgress(path);
        std::span<const NameWork* const> matches = names.Find(data.name);
        if (!matches.empty()) {
            const NameWork& first = *matches.front();
            ReportFoundAtPlace(context, *first.entry, *first.file, path);
        }
    });
}

bool DeepScan(ScanContext& context, std::string_view folder, const ChecksumIndex& checksums,
              const NameIndex& names) {
    std::string progress;
    return WalkWithChecksums(
        context, WalkRoot(folder), true, !checksums.Empty(),
        [&](std::string_view path, std::string_view checksum) {
            if (IsZipFile(path))
                ScanZipMembers(context, path, checksums);
            if (IsDigest(checksum)) {
                std::span<const refdb::ChecksumRef> matches = checksums.Find(checksum);
                if (!matches.empty()) {
                    ReportFoundByChecksum(context, *matches.front().entry, *matches.front().file,
                                          path);
                }
            }
            if (!names.Empty()) {
                for (const NameWork* record : names.Find(text::FileName(path)))
                    ReportFoundAtPlace(context, *record->entry, *record->file, path);
            }
            progress.assign(kDeepScanText);
            progress += path;
            context.ReportProgress(progress);
        });
}

bool DeepScan(ScanContext& context, std::string_view folder, const ChecksumRefs& checksums,
              const std::vector<NameWork>& nameWork) {
    return DeepScan(context, folder, ChecksumIndex(checksums), NameIndex(nameWork));
}

void ScanChosenFolder(ScanContext& context, std::string_view folder) {
    const bool recurse = settings::SettingsStore(context.system).GetDword("sbfolders") == 1;
    const ChecksumIndex checksums(context.database.checksums());
    // Every File item with a listed path, by its full path.
    std::unordered_map<std::string, std::vector<std::pair<refdb::SpywareEntry*, refdb::FileItem*>>,
                       text::HashNoCase, text::EqualNoCase>
        listed;
    for (refdb::SpywareEntry& entry : context.database.entries()) {
        for (refdb::FileItem& item : entry.files) {
            if (!item.path.empty())
                listed[item.path + '\\' + item.name].emplace_back(&entry, &item);
        }
    }

    WalkWithChecksums(context, folder, recurse, !checksums.Empty(),
                      [&](std::string_view path, std::string_view checksum) {
                          if (IsZipFile(path))
                              ScanZipMembers(context, path, checksums);
                          if (auto it = listed.find(path); it != listed.end()) {
                              for (auto& [entry, item] : it->second) {
                                  if (!item->detected)
                                      ReportListedFile(context, *entry, *item, path);
                              }
                          }
                          if (IsDigest(checksum)) {
                              for (const refdb::ChecksumRef& ref : checksums.Find(checksum))
                                  ReportFoundByChecksum(context, *ref.entry, *ref.file, path);
                          }
                          // One step per file checked, so the count shows the
                          // folder scan going.
                          context.ReportProgress(path);
                      });
}

}  // namespace scan
