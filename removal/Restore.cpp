#include "removal/Restore.h"

#include <cstdlib>
#include <memory>

#include "platform/Text.h"
#include "removal/Backup.h"
#include "zip/ZipFiles.h"
#include "zip/ZipReader.h"
#include "zip/ZipStreams.h"

namespace removal {

namespace {

// Names this long or shorter cannot be "M,D,YYYY_h,m,s.zip".
constexpr std::size_t kShortestBackupName = 16;

// Lines of the manifest without their line ends; a last line without one
// still counts.
std::vector<std::string_view> ManifestLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The decimal number at the front of `part`, as atoi reads it.
int LeadingNumber(std::string_view part) {
    return std::atoi(std::string(part).c_str());
}

// Cuts `rest` at the first `separator`: gives the number before it and keeps
// what follows.
int TakeNumber(std::string_view& rest, char separator) {
    const std::size_t at = rest.find(separator);
    const int number = LeadingNumber(rest.substr(0, at));
    rest = at == std::string_view::npos ? std::string_view() : rest.substr(at + 1);
    return number;
}

// A FILE record names a member of the flat archive: anything else would read
// outside the scratch folder.
bool IsBareName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("\\/:") == std::string_view::npos;
}

bool RestoreOne(platform::System& system, std::string_view scratch, const BackupItem& item) {
    platform::FileSystem& files = system.files;
    if (text::EqualsNoCase(item.kind, "FILE")) {
        if (!IsBareName(item.name))
            return false;
        return files.CopyFile(text::JoinPath(scratch, item.name),
                              text::JoinPath(item.path, item.name), false) == platform::kSuccess;
    }
    if (text::EqualsNoCase(item.kind, "COOKIE")) {
        const std::string_view cookieFile = text::FileName(item.path);
        if (!IsBareName(cookieFile))
            return false;
        return files.CopyFile(text::JoinPath(scratch, cookieFile), item.path, false) ==
               platform::kSuccess;
    }
    if (text::EqualsNoCase(item.kind, "REG")) {
        std::string parameters = "/S \"";
        parameters.append(scratch).append("\\").append(item.path).append("\"");
        // Waited for, unlike the shell's default, so the scratch folder is
        // not removed while the editor still reads from it.
        return system.processes.RunProgram("regedit.exe", parameters, true);
    }
    if (text::EqualsNoCase(item.kind, "DIRECTORY"))
        return files.CreateDirectory(text::JoinPath(item.path, item.name)) == platform::kSuccess;
    return false;
}

std::string BackupFolderPrefix(platform::System& system) {
    return BackupFolder(system) + "\\";
}

}  // namespace

std::string GetManifestField(std::string_view line, std::string_view key) {
    const std::size_t at = line.find(key);
    if (at == std::string_view::npos)
        return std::string(line);
    const std::size_t start = at + key.size() + 1;
    if (start >= line.size())
        return {};
    std::string_view value = line.substr(start);
    const std::size_t close = value.rfind(']');
    if (close != std::string_view::npos)
        value = value.substr(0, close);
    return std::string(value);
}

std::vector<BackupItem> ReadManifest(std::string_view manifest) {
    const std::vector<std::string_view> lines = ManifestLines(manifest);
    std::vector<BackupItem> items;
    std::size_t next = 0;
    // Each record type: the keys of the following lines that fill the name and
    // path fields, and how many lines come before them.
    while (next < lines.size()) {
        const std::string type = GetManifestField(lines[next++], "TYPE");
        std::string_view nameKey;
        std::string_view pathKey;
        bool skipNameLine = true;
        if (text::EqualsNoCase(type, "COOKIE")) {
            nameKey = "COOKIE_NAME";
            pathKey = "DEST_PATH";
        } else if (text::EqualsNoCase(type, "FILE")) {
            nameKey = "FILE_NAME";
            pathKey = "DEST_PATH";
        } else if (text::EqualsNoCase(type, "DIRECTORY")) {
            nameKey = "NAME";
            pathKey = "PATH";
            skipNameLine = false;
        } else if (text::EqualsNoCase(type, "REG")) {
            nameKey = "NAME";
            pathKey = "FILE_NAME";
            skipNameLine = false;
        } else {
            continue;
        }
        const std::size_t needed = skipNameLine ? 3 : 2;
        if (lines.size() - next < needed)
            break;
        if (skipNameLine)
            ++next;
        BackupItem item;
        item.kind = type;
        item.name = GetManifestField(lines[next++], nameKey);
        item.path = GetManifestField(lines[next++], pathKey);
        items.push_back(std::move(item));
    }
    return items;
}

platform::LocalTime ParseBackupName(std::string_view fileName) {
    platform::LocalTime date;
    std::string_view rest = fileName;
    date.month = TakeNumber(rest, ',');
    date.day = TakeNumber(rest, ',');
    date.year = TakeNumber(rest, '_');
    date.hour = TakeNumber(rest, ',');
    date.minute = TakeNumber(rest, ',');
    date.second = TakeNumber(rest, '.');
    return date;
}

std::vector<BackupArchive> ListBackups(platform::System& system) {
    std::vector<BackupArchive> archives;
    std::unique_ptr<platform::FileSearch> search =
        system.files.Find(BackupFolderPrefix(system) + "*.*");
    platform::FindData found;
    while (search && search->Next(found)) {
        if (found.name == "." || found.name == ".." || found.name.size() < kShortestBackupName)
            continue;
        archives.push_back(BackupArchive{found.name, ParseBackupName(found.name)});
    }
    return archives;
}

std::string BackupRowText(std::string_view dateText, std::string_view timeText) {
    std::string row = "Backup on ";
    row.append(dateText).append(" - ").append(timeText);
    return row;
}

std::string BackupRowText(platform::Clock& clock, const platform::LocalTime& date) {
    return BackupRowText(clock.DateText(date), clock.TimeText(date));
}

bool DeleteBackup(platform::System& system, std::string_view fileName) {
    return system.files.DeleteFile(BackupFolderPrefix(system) + std::string(fileName)) ==
           platform::kSuccess;
}

std::string RestoreScratchFolder(platform::System& system) {
    return BackupFolderPrefix(system) + "Temp";
}

UnpackResult UnpackBackup(platform::System& system, std::string_view fileName) {
    platform::FileSystem& files = system.files;
    UnpackResult result;
    result.scratchFolder = RestoreScratchFolder(system);
    files.CreateDirectory(result.scratchFolder);

    platform::Status error = platform::kSuccess;
    std::unique_ptr<platform::FileReader> in =
        files.OpenRead(BackupFolderPrefix(system) + std::string(fileName), &error);
    if (in) {
        zip::FileReaderSource source(*in);
        zip::Reader reader;
        if (reader.Open(source, kBackupPassword).Ok()) {
            for (std::size_t i = 0; i < reader.Count(); ++i) {
                // Refuses names that could leave the scratch folder; a member
                // that fails is skipped and the others still come out.
                zip::ExtractMemberToFolder(reader, i, files, result.scratchFolder);
            }
        }
    }

    std::string manifest;
    if (files.ReadFile(text::JoinPath(result.scratchFolder, kManifestName), &manifest) !=
        platform::kSuccess)
        return result;
    result.manifestRead = true;
    result.items = ReadManifest(manifest);
    return result;
}

int RestoreItems(platform::System& system, std::string_view scratchFolder,
                 const std::vector<BackupItem>& items, std::vector<const BackupItem*>* failed) {
    int restored = 0;
    for (const BackupItem& item : items) {
        if (RestoreOne(system, scratchFolder, item))
            ++restored;
        else if (failed != nullptr)
            failed->push_back(&item);
    }
    return restored;
}

std::string_view RestoreResultMessage(int restored) {
    return restored > 0 ? kRestoredMessage : kNotRestoredMessage;
}

void RemoveFolderTree(platform::FileSystem& files, std::string_view folder) {
    std::unique_ptr<platform::FileSearch> search = files.Find(text::JoinPath(folder, "*"));
    platform::FindData found;
    while (search && search->Next(found)) {
        if (found.name == "." || found.name == "..")
            continue;
        const std::string path = text::JoinPath(folder, found.name);
        if (found.IsDirectory()) {
            RemoveFolderTree(files, path);
        } else {
            // The shell's delete takes read-only files too.
            if (found.attributes & platform::kAttrReadOnly)
                files.SetAttributes(path, platform::kAttrNormal);
            files.DeleteFile(path);
        }
    }
    files.RemoveDirectory(folder);
}

}  // namespace removal
