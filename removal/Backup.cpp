#include "removal/Backup.h"

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <memory>
#include <set>
#include <unordered_set>

#include "platform/Text.h"
#include "removal/FileRemoval.h"
#include "zip/ZipFiles.h"
#include "zip/ZipStreams.h"
#include "zip/ZipWriter.h"

namespace removal {

namespace {

std::uint32_t SteadyTickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

// Deletes the files of `folder`; its subfolders stay.
void DeleteFilesIn(platform::FileSystem& files, std::string_view folder) {
    std::unique_ptr<platform::FileSearch> search = files.Find(text::JoinPath(folder, "*"));
    platform::FindData found;
    while (search && search->Next(found)) {
        if (!found.IsDirectory())
            files.DeleteFile(text::JoinPath(folder, found.name));
    }
}

// Turns `exe`'s folder into the backup folder: everything before the last
// backslash, trailing backslashes removed.
std::string ProgramFolder(platform::System& system) {
    const std::string module = system.processes.ModuleFileName();
    const std::size_t slash = module.rfind('\\');
    return text::WithoutTrailingBackslash(
        std::string_view(module).substr(0, slash == std::string::npos ? 0 : slash));
}

class BackupRun {
  public:
    BackupRun(platform::System& system, const BackupOptions& options)
        : system_(system),
          files_(system.files),
          scratch_(BackupScratchFolder(system.files)),
          manifest_(text::JoinPath(scratch_, kManifestName)),
          tickCount_(options.tickCount ? options.tickCount : SteadyTickCount) {}

    // False when there is no scratch folder to collect the copies in.
    bool PrepareScratchFolder() {
        if (!files_.IsDirectory(scratch_))
            files_.CreateDirectory(scratch_);
        else
            DeleteFilesIn(files_, scratch_);
        return files_.IsDirectory(scratch_);
    }

    // Records were due but the list of items could not be written: such a
    // backup could not be restored.
    bool ManifestLost() { return records_ > 0 && !files_.Exists(manifest_); }

    void BackUpEntry(const refdb::SpywareEntry& entry) {
        for (const refdb::RegKeyItem& key : entry.regKeys) {
            if (key.detected)
                ExportKey("RegKeyBackup", key.root, key.keyPath);
        }
        for (const refdb::RegValueItem& value : entry.regValues) {
            if (value.detected)
                ExportKey("RegKeyValueBackup", value.root, value.keyPath);
        }
        for (const refdb::RegDataItem& data : entry.regData) {
            if (data.detected)
                ExportKey("RegKeyValueDataBackup", data.root, data.keyPath);
        }
        for (const refdb::RegValueItem& value : entry.policyValues) {
            if (value.detected)
                ExportKey("RegKeyValueBackup", value.root, value.keyPath);
        }
        // A preference file is saved whole, once, as it was before the
        // rewrite; a second profile's file of the same name would replace it
        // in the flat archive, so only the first is kept.
        for (const refdb::PrefsLineItem& line : entry.prefsLines) {
            if (!line.detected)
                continue;
            const std::string name(text::FileName(line.path));
            if (!savedPrefs_.insert(name).second)
                continue;
            files_.CopyFile(line.path, text::JoinPath(scratch_, name), false);
            Record(FileRecord(entry.name, name, text::ParentPath(line.path)));
        }
        // Zip archives already saved for this entry, by file name.
        std::unordered_set<std::string, text::HashNoCase, text::EqualNoCase> archives;
        // Exactly what the removal deletes: the record itself when it names a
        // place, and every detected further location, also of a record that
        // is not itself detected (a checksum-only record has no place).
        for (const refdb::FileItem& file : entry.files) {
            if (file.detected && !file.path.empty())
                BackUpFile(entry, file, archives);
            for (const refdb::FileItem& copy : file.copies) {
                if (copy.detected)
                    BackUpFile(entry, copy, archives);
            }
        }
        for (const refdb::CookieItem& cookie : entry.cookies) {
            if (!cookie.detected)
                continue;
            // The removal deletes every numbered file of the cookie, so each
            // is saved; the one the scan found is saved even if the search
            // misses it.
            std::vector<std::string> paths = CookieFiles(files_, cookie);
            if (std::none_of(paths.begin(), paths.end(), [&](const std::string& path) {
                    return text::EqualsNoCase(path, cookie.foundPath);
                }))
                paths.insert(paths.begin(), cookie.foundPath);
            for (const std::string& path : paths) {
                files_.CopyFile(path, text::JoinPath(scratch_, text::FileName(path)), false);
                Record(CookieRecord(entry.name, cookie.name, path));
            }
        }
    }

    // Every file of the scratch folder, under its bare name.
    void Pack(zip::Writer& writer) {
        zip::MemberOptions member;
        member.password = std::string(kBackupPassword);
        const platform::LocalTime now = system_.clock.Now();
        member.modified =
            zip::DateTime{now.year, now.month, now.day, now.hour, now.minute, now.second};
        if (member.modified.year < 1980)
            member.modified = zip::DateTime{};
        std::unique_ptr<platform::FileSearch> search = files_.Find(text::JoinPath(scratch_, "*"));
        platform::FindData found;
        while (search && search->Next(found)) {
            if (found.IsDirectory() || found.name.starts_with('.'))
                continue;
            // A member that cannot be added is left out; the rest still count.
            zip::AddFileToArchive(writer, files_, text::JoinPath(scratch_, found.name), found.name,
                                  member);
        }
    }

    void RemoveScratchFolder() {
        DeleteFilesIn(files_, scratch_);
        files_.RemoveDirectory(scratch_);
    }

  private:
    void Record(std::string_view record) {
        ++records_;
        AppendManifestRecord(files_, manifest_, record);
    }

    void ExportKey(std::string_view prefix, platform::HKey root, std::string_view keyPath) {
        // Two exports within one millisecond would share a name and the
        // later would replace the earlier in the archive.
        std::uint32_t tick = tickCount_();
        while (!usedTicks_.insert(tick).second)
            ++tick;
        std::string fileName(prefix);
        fileName.append(std::to_string(static_cast<std::int32_t>(tick))).append(".reg");
        const std::string keyName = std::string(refdb::RootName(root)).append("\\").append(keyPath);
        std::string parameters = "/e \"";
        parameters.append(text::JoinPath(scratch_, fileName)).append("\" \"");
        parameters.append(keyName).append("\" ");
        system_.processes.RunProgram("regedit.exe", parameters, true);
        Record(RegRecord(keyName, fileName));
    }

    void BackUpFile(
        const refdb::SpywareEntry& entry, const refdb::FileItem& file,
        std::unordered_set<std::string, text::HashNoCase, text::EqualNoCase>& archives) {
        const std::string source =
            text::JoinPath(text::WithoutTrailingBackslash(file.path), file.name);
        const std::size_t question = source.find('?');
        if (question == std::string::npos) {
            files_.CopyFile(source, text::JoinPath(scratch_, file.name), false);
            Record(FileRecord(entry.name, file.name, file.path));
            return;
        }
        // A member of a zip archive: the whole archive is saved, once.
        std::string_view archive = std::string_view(source).substr(0, question);
        while (archive.ends_with('?'))
            archive.remove_suffix(1);
        const std::string archiveName(text::FileName(archive));
        if (!archives.insert(archiveName).second)
            return;
        files_.CopyFile(archive, text::JoinPath(scratch_, archiveName), false);
        Record(FileRecord(entry.name, archiveName, file.path));
    }

    platform::System& system_;
    platform::FileSystem& files_;
    std::string scratch_;
    std::string manifest_;
    std::function<std::uint32_t()> tickCount_;
    std::set<std::uint32_t> usedTicks_;
    std::unordered_set<std::string, text::HashNoCase, text::EqualNoCase> savedPrefs_;
    int records_ = 0;
};

bool WriteArchive(platform::FileSystem& files, const std::string& path, BackupRun& run,
                  std::initializer_list<const std::deque<refdb::SpywareEntry>*> lists) {
    platform::Status error = platform::kSuccess;
    std::unique_ptr<platform::FileWriter> out = files.OpenWrite(path, false, &error);
    if (!out)
        return false;
    zip::FileWriterSink sink(*out);
    zip::Writer writer(sink);
    for (const std::deque<refdb::SpywareEntry>* entries : lists) {
        for (const refdb::SpywareEntry& entry : *entries) {
            if (entry.detected)
                run.BackUpEntry(entry);
        }
    }
    // No archive rather than one that cannot be restored.
    const bool saved = !run.ManifestLost();
    if (saved)
        run.Pack(writer);
    const bool finished = saved && writer.Finish().Ok();
    const bool closed = out->Close() == platform::kSuccess;
    if (finished && closed)
        return true;
    files.DeleteFile(path);
    return false;
}

}  // namespace

std::string BackupFolder(platform::System& system) {
    return ProgramFolder(system) + "\\BrindlexBackup";
}

std::string BackupScratchFolder(platform::FileSystem& files) {
    return text::WithoutTrailingBackslash(files.TempFolder()) + "\\BrindlexBkupTemp";
}

std::string BackupArchivePath(std::string_view folder, const platform::LocalTime& time) {
    std::string path(folder);
    path.append("\\").append(std::to_string(time.month)).append(",");
    path.append(std::to_string(time.day)).append(",").append(std::to_string(time.year));
    path.append("_").append(std::to_string(time.hour)).append(",");
    path.append(std::to_string(time.minute)).append(",").append(std::to_string(time.second));
    return path.append(".zip");
}

std::string RegRecord(std::string_view keyName, std::string_view fileName) {
    std::string record = "[TYPE:REG]\r\n[NAME:";
    record.append(keyName).append("]\r\n[FILE_NAME:").append(fileName).append("]\r\n");
    return record;
}

std::string FileRecord(std::string_view entryName, std::string_view fileName,
                       std::string_view folder) {
    std::string record = "[TYPE:FILE]\r\n[NAME:";
    record.append(entryName).append("]\r\n[FILE_NAME:").append(fileName);
    record.append("]\r\n[DEST_PATH:").append(folder).append("]\r\n");
    return record;
}

std::string CookieRecord(std::string_view entryName, std::string_view cookieName,
                         std::string_view cookiePath) {
    std::string record = "[TYPE:COOKIE]\r\n[NAME:";
    record.append(entryName).append("]\r\n[COOKIE_NAME:").append(cookieName);
    record.append("]\r\n[DEST_PATH:").append(cookiePath).append("]\r\n");
    return record;
}

void AppendManifestRecord(platform::FileSystem& files, std::string_view manifestPath,
                          std::string_view record) {
    files.AppendFile(manifestPath, record);
}

namespace {

bool CreateBackupOf(platform::System& system,
                    std::initializer_list<const std::deque<refdb::SpywareEntry>*> lists,
                    const BackupOptions& options) {
    if (options.busy)
        options.busy(true);
    BackupRun run(system, options);
    if (!run.PrepareScratchFolder()) {
        if (options.busy)
            options.busy(false);
        return false;
    }
    const std::string folder = BackupFolder(system);
    if (!system.files.IsDirectory(folder))
        system.files.CreateDirectory(folder);
    const std::string archive = BackupArchivePath(folder, system.clock.Now());
    const bool written = WriteArchive(system.files, archive, run, lists);
    if (written) {
        run.RemoveScratchFolder();
        if (options.archivePath != nullptr)
            *options.archivePath = archive;
    }
    if (options.busy)
        options.busy(false);
    return written;
}

}  // namespace

bool CreateBackup(platform::System& system, const std::deque<refdb::SpywareEntry>& entries,
                  const BackupOptions& options) {
    return CreateBackupOf(system, {&entries}, options);
}

bool CreateBackup(platform::System& system, const refdb::ReferenceDatabase& database,
                  const BackupOptions& options) {
    return CreateBackupOf(system, {&database.entries(), &database.builtInEntries()}, options);
}

}  // namespace removal
