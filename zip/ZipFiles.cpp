#include "zip/ZipFiles.h"

#include <optional>

#include "platform/Text.h"
#include "zip/ZipNames.h"

namespace zip {
namespace {

std::string StatusText(platform::Status status) {
    return "system error " + std::to_string(status);
}

// Creates each missing folder from just below `base` down to `path`.
Error CreateFolders(platform::FileSystem& files, std::string_view base, std::string_view path) {
    std::size_t pos = base.size();
    while (pos < path.size()) {
        std::size_t next = path.find('\\', pos + 1);
        if (next == std::string_view::npos)
            next = path.size();
        std::string_view prefix = path.substr(0, next);
        if (!files.IsDirectory(prefix)) {
            platform::Status status = files.CreateDirectory(prefix);
            if (status != platform::kSuccess && status != platform::kErrorAlreadyExists) {
                return MakeError(
                    ErrorCode::kWriteFailed,
                    "cannot create folder \"" + std::string(prefix) + "\": " + StatusText(status));
            }
        }
        pos = next;
    }
    return {};
}

}  // namespace

Error ExtractMemberToFolder(Reader& reader, std::size_t index, platform::FileSystem& files,
                            std::string_view folder, std::string* writtenPath) {
    if (index >= reader.Count())
        return MakeError(ErrorCode::kInvalidArgument, "no such member");
    const Member& member = reader.At(index);
    const std::string base = text::WithoutTrailingBackslash(folder);
    std::optional<std::string> target = JoinMemberPath(base, member.utf8Name);
    if (!target)
        return MakeError(ErrorCode::kUnsafeName, "unsafe member name \"" + member.utf8Name + "\"");
    if (writtenPath != nullptr)
        *writtenPath = *target;

    if (member.isDirectory)
        return CreateFolders(files, base, *target);
    if (Error error = CreateFolders(files, base, text::ParentPath(*target)); !error.Ok())
        return error;

    platform::Status status = platform::kSuccess;
    std::unique_ptr<platform::FileWriter> file = files.OpenWrite(*target, false, &status);
    if (!file) {
        return MakeError(ErrorCode::kWriteFailed,
                         "cannot create \"" + *target + "\": " + StatusText(status));
    }
    FileWriterSink sink(*file);
    Error error = reader.ExtractTo(index, sink);
    platform::Status closed = file->Close();
    file.reset();
    if (error.Ok() && closed != platform::kSuccess) {
        error = MakeError(ErrorCode::kWriteFailed,
                          "cannot write \"" + *target + "\": " + StatusText(closed));
    }
    if (!error.Ok()) {
        if (error.code == ErrorCode::kWriteFailed && sink.LastError() != platform::kSuccess) {
            error.message += " (" + StatusText(sink.LastError()) + ")";
        }
        files.DeleteFile(*target);
    }
    return error;
}

Error ExtractAllToFolder(Reader& reader, platform::FileSystem& files, std::string_view folder,
                         std::vector<std::string>* writtenPaths) {
    for (std::size_t i = 0; i < reader.Count(); ++i) {
        std::string path;
        if (Error error = ExtractMemberToFolder(reader, i, files, folder, &path); !error.Ok())
            return error;
        if (writtenPaths != nullptr && !reader.At(i).isDirectory)
            writtenPaths->push_back(std::move(path));
    }
    return {};
}

Error AddFileToArchive(Writer& writer, platform::FileSystem& files, std::string_view path,
                       std::string_view memberName, const MemberOptions& options) {
    platform::Status status = platform::kSuccess;
    std::unique_ptr<platform::FileReader> file = files.OpenRead(path, &status);
    if (!file) {
        return MakeError(ErrorCode::kReadFailed,
                         "cannot open \"" + std::string(path) + "\": " + StatusText(status));
    }
    FileReaderSource source(*file);
    Error error = writer.AddFromSource(memberName, source, options);
    if (error.code == ErrorCode::kReadFailed && source.LastError() != platform::kSuccess) {
        error.message += " (" + StatusText(source.LastError()) + ")";
    }
    return error;
}

}  // namespace zip
