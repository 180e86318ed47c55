#include "shields/places/RemoveFile.h"

namespace shields {

platform::Status RemoveRefusedFile(platform::FileSystem& files, std::string_view path) {
    platform::Status status = files.DeleteFile(path);
    if (status != platform::kErrorAccessDenied)
        return status;
    const std::uint32_t attributes = files.GetAttributes(path);
    if (attributes == platform::kInvalidAttributes || (attributes & platform::kAttrReadOnly) == 0 ||
        (attributes & platform::kAttrDirectory) != 0) {
        return status;
    }
    if (files.SetAttributes(path, attributes & ~platform::kAttrReadOnly) != platform::kSuccess)
        return status;
    status = files.DeleteFile(path);
    if (status != platform::kSuccess)
        files.SetAttributes(path, attributes);
    return status;
}

}  // namespace shields
