#include "removal/FileRemoval.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "zip/ZipStreams.h"
#include "zip/ZipWriter.h"

namespace removal {
namespace {

// Folders below `folder` first, then `folder` itself when it holds no file.
void CollectEmptyFolders(platform::FileSystem& files, const std::string& folder,
                         std::vector<std::string>& out) {
    bool holdsFiles = false;
    std::vector<std::string> subfolders;
    if (auto search = files.Find(folder + "\\*.*")) {
        platform::FindData found;
        while (search->Next(found)) {
            if (found.name == "." || found.name == "..")
                continue;
            if (found.IsDirectory())
                subfolders.push_back(folder + "\\" + found.name);
            else
                holdsFiles = true;
        }
    }
    for (const std::string& subfolder : subfolders)
        CollectEmptyFolders(files, subfolder, out);
    if (!holdsFiles)
        out.push_back(folder);
}

}  // namespace

platform::Status DeleteDetectedFile(platform::FileSystem& files, std::string_view path) {
    const std::size_t mark = path.find('?');
    if (mark == std::string_view::npos)
        return files.DeleteFile(path);
    std::string_view archive = path.substr(0, mark);
    while (!archive.empty() && archive.back() == '?')
        archive.remove_suffix(1);
    std::string_view rest = path.substr(mark + 1);
    while (!rest.empty() && rest.front() == '?')
        rest.remove_prefix(1);
    // The whole stored path names the member: a file name alone could also
    // match a harmless namesake in another folder of the archive.
    std::string member(rest);
    for (char& c : member) {
        if (c == '\\')
            c = '/';
    }
    return RemoveZipMember(files, archive, member) ? platform::kSuccess
                                                   : platform::kErrorAccessDenied;
}

bool RemoveZipMember(platform::FileSystem& files, std::string_view archivePath,
                     std::string_view memberName) {
    platform::Status status = platform::kSuccess;
    std::unique_ptr<platform::FileReader> reader = files.OpenRead(archivePath, &status);
    if (!reader)
        return false;
    const std::string temporary = std::string(archivePath) + ".bxnew";
    std::unique_ptr<platform::FileWriter> writer = files.OpenWrite(temporary, false, &status);
    if (!writer)
        return false;
    zip::FileReaderSource source(*reader);
    zip::FileWriterSink sink(*writer);
    const zip::Error result = zip::RewriteWithout(source, memberName, sink);
    const platform::Status closed = writer->Close();
    writer.reset();
    reader.reset();
    if (result.code == zip::ErrorCode::kNotFound) {
        // The member is already gone: the archive stays as it is.
        files.DeleteFile(temporary);
        return true;
    }
    if (result.code != zip::ErrorCode::kOk || closed != platform::kSuccess ||
        files.MoveFile(temporary, archivePath, true) != platform::kSuccess) {
        files.DeleteFile(temporary);
        return false;
    }
    return true;
}

std::vector<std::string> CookieFiles(platform::FileSystem& files, const refdb::CookieItem& cookie) {
    const std::size_t last = cookie.foundPath.rfind('\\');
    const std::string folder = text::WithoutTrailingBackslash(
        std::string_view(cookie.foundPath).substr(0, last == std::string::npos ? 0 : last));
    std::vector<std::string> paths;
    auto search = files.Find(folder + "\\*@" + cookie.name + "[*].txt");
    platform::FindData found;
    while (search && search->Next(found)) {
        if (!found.IsDirectory())
            paths.push_back(folder + "\\" + found.name);
    }
    return paths;
}

bool RemoveFolderTree(platform::FileSystem& files, std::string_view path, CLogFile& log) {
    std::vector<std::string> folders;
    CollectEmptyFolders(files, text::WithoutTrailingBackslash(path), folders);
    bool all = true;
    for (const std::string& folder : folders) {
        const platform::Status status = files.RemoveDirectory(folder);
        if (status == platform::kSuccess)
            continue;
        char number[16];
        std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(status));
        log.Write("\r\nCould not delete (" + folder + ") error code = " + number);
        all = false;
    }
    return all;
}

}  // namespace removal
