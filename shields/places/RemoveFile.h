#pragma once
#include <string_view>

#include "platform/FileSystem.h"

namespace shields {

// Deletes a file the user refused. A read-only attribute (which unwanted
// programs set so that plain deletion fails) does not keep it.
platform::Status RemoveRefusedFile(platform::FileSystem& files, std::string_view path);

}  // namespace shields
