// The conformance cases against HostFileSystem: drive C: maps to a fresh
// host temporary folder that holds C:\Windows\Temp and one folder per case.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/Text.h"
#include "platform/host/HostFileSystem.h"
#include "platform/host/HostProcesses.h"
#include "platform/tests/FileSystemFixture.h"

namespace conformance {

namespace {

class HostDrive {
  public:
    HostDrive() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                              "/bx-fs-conformance-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a folder for drive C:");
        }
        root_ = pattern;
        std::filesystem::create_directories(root_ + "/Windows/Temp");
        std::filesystem::create_directories(root_ + "/Program Files/Brindlex");
        files_.MapDrive('C', root_);
        files_.WriteFile(kProgram, "MZ");
    }
    ~HostDrive() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    HostDrive(const HostDrive&) = delete;
    HostDrive& operator=(const HostDrive&) = delete;

    platform::host::HostFileSystem& Files() { return files_; }
    const std::string& Root() const { return root_; }

    platform::host::HostProcesses& Processes() { return processes_; }

  private:
    static constexpr const char* kProgram = "C:\\Program Files\\Brindlex\\brindlex.exe";
    std::string root_;
    platform::host::HostFileSystem files_;
    platform::host::HostProcesses processes_{kProgram};
};

HostDrive& Drive() {
    static HostDrive drive;
    return drive;
}

}  // namespace

platform::FileSystem& ConformanceFileSystem() {
    return Drive().Files();
}

platform::Processes& ConformanceProcesses() {
    return Drive().Processes();
}

std::string ConformanceMakeScratchFolder() {
    static int counter = 0;
    const std::string name = "Case" + std::to_string(++counter);
    std::filesystem::create_directory(Drive().Root() + "/" + name);
    return "C:\\" + name;
}

void ConformanceRemoveScratchFolder(const std::string& folder) {
    std::error_code ignored;
    std::filesystem::remove_all(Drive().Root() + "/" + std::string(text::FileName(folder)),
                                ignored);
}

bool ConformanceDeleteIsPending(std::string_view path) {
    for (const std::string& pending : Drive().Files().PendingDeletes()) {
        if (text::EqualsNoCase(pending, path))
            return true;
    }
    return false;
}

}  // namespace conformance
