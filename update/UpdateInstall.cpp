#include "update/UpdateInstall.h"

#include <memory>
#include <vector>

#include "platform/Text.h"
#include "refdb/ReferenceDatabase.h"
#include "settings/SettingsStore.h"
#include "zip/ZipFiles.h"
#include "zip/ZipNames.h"
#include "zip/ZipReader.h"

namespace update {
namespace {

// Deletes a folder and everything below it; what cannot go stays.
void RemoveTree(platform::FileSystem& files, const std::string& folder) {
    if (std::unique_ptr<platform::FileSearch> search = files.Find(folder + "\\*")) {
        platform::FindData entry;
        while (search->Next(entry)) {
            if (entry.name == "." || entry.name == "..")
                continue;
            std::string path = folder + "\\" + entry.name;
            if (entry.IsDirectory()) {
                RemoveTree(files, path);
            } else {
                files.DeleteFile(path);
            }
        }
    }
    files.RemoveDirectory(folder);
}

// Creates the folders between `base` (which exists) and `path`.
bool CreateFoldersBelow(platform::FileSystem& files, const std::string& base,
                        std::string_view path) {
    if (path.size() <= base.size())
        return true;
    std::string current = base;
    for (std::string_view part : text::Split(path.substr(base.size() + 1), '\\')) {
        current += '\\';
        current += part;
        platform::Status status = files.CreateDirectory(current);
        if (status != platform::kSuccess && status != platform::kErrorAlreadyExists)
            return false;
    }
    return true;
}

// Unpacks every member of the archive below `staging`; refuses the whole
// archive when one member's name could leave the folder.
bool Unpack(platform::FileSystem& files, const std::string& archivePath, const std::string& staging,
            std::vector<std::string>* written, std::string* detail) {
    platform::Status status = platform::kSuccess;
    std::unique_ptr<platform::FileReader> file = files.OpenRead(archivePath, &status);
    if (!file) {
        *detail = "cannot open the archive (error " + std::to_string(status) + ")";
        return false;
    }
    zip::FileReaderSource source(*file);
    zip::Reader reader;
    if (zip::Error error = reader.Open(source); !error.Ok()) {
        *detail = "not a readable archive: " + error.message;
        return false;
    }
    for (const zip::Member& member : reader.Members()) {
        if (!zip::IsSafeMemberName(member.utf8Name)) {
            *detail = "refused member \"" + member.utf8Name + "\"";
            return false;
        }
    }
    if (zip::Error error = zip::ExtractAllToFolder(reader, files, staging, written); !error.Ok()) {
        *detail = "cannot unpack: " + error.message;
        return false;
    }
    return true;
}

}  // namespace

bool ReferenceFileLoads(platform::System& system, const std::string& path, std::string* detail) {
    refdb::ReferenceDatabase database(system);
    if (database.LoadReference(path))
        return true;
    *detail = path + ": " + database.LastError();
    return false;
}

bool InstallArchive(platform::System& system, const InstallPlan& plan, std::string* detail) {
    platform::FileSystem& files = system.files;
    const std::string staging = plan.archivePath + ".unpack";
    RemoveTree(files, staging);
    std::vector<std::string> written;
    bool unpacked = files.CreateDirectory(staging) == platform::kSuccess &&
                    Unpack(files, plan.archivePath, staging, &written, detail);
    files.DeleteFile(plan.archivePath);

    const std::string newName(text::FileName(plan.newPath));
    const std::string staged = staging + "\\" + newName;
    if (!unpacked || !ReferenceFileLoads(system, staged, detail)) {
        RemoveTree(files, staging);
        return false;
    }

    // Everything else first, the Reference file last: a failure part way
    // leaves the file in use untouched.
    std::vector<std::string> order;
    for (const std::string& path : written) {
        if (!text::EqualsNoCase(path, staged))
            order.push_back(path);
    }
    order.push_back(staged);
    for (const std::string& path : order) {
        std::string target = plan.folder + path.substr(staging.size());
        if (text::EqualsNoCase(path, staged))
            target = plan.newPath;
        platform::Status status = platform::kSuccess;
        if (!CreateFoldersBelow(files, plan.folder, text::ParentPath(target)) ||
            (status = files.MoveFile(path, target, true)) != platform::kSuccess) {
            *detail =
                "cannot move into place: " + target + " (error " + std::to_string(status) + ")";
            RemoveTree(files, staging);
            return false;
        }
    }
    RemoveTree(files, staging);

    settings::SettingsStore settings(system);
    settings.SetSetting("rfp", plan.newPath);
    settings.SetSetting("df", newName);
    bool samePath = text::EqualsNoCase(plan.newPath, plan.oldPath);
    if (!ReferenceFileLoads(system, plan.newPath, detail)) {
        settings.SetSetting("rfp", plan.oldPath);
        settings.SetSetting("df", plan.oldName);
        if (!samePath)
            files.DeleteFile(plan.newPath);
        return false;
    }
    if (!samePath)
        files.DeleteFile(plan.oldPath);
    return true;
}

}  // namespace update
