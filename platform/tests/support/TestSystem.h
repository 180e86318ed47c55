#pragma once
// A whole host platform for tests: an empty MemoryRegistry, drive C: mapped to
// a fresh temporary folder (removed afterwards), the program installed as
// "C:\Program Files\Brindlex\brindlex.exe" and a stock environment.
#include <filesystem>
#include <string>

#include "platform/System.h"
#include "platform/host/HostClock.h"
#include "platform/host/HostEnvironment.h"
#include "platform/host/HostFileSystem.h"
#include "platform/host/HostNetwork.h"
#include "platform/host/HostProcesses.h"
#include "platform/host/MemoryRegistry.h"

namespace testsupport {

inline constexpr const char* kProgramFolder = "C:\\Program Files\\Brindlex";
inline constexpr const char* kProgramFile = "C:\\Program Files\\Brindlex\\brindlex.exe";

class TestSystem {
public:
    TestSystem();
    // The same with `network` (a fake, say) in place of the libcurl one.
    explicit TestSystem(platform::Network& network);
    ~TestSystem();
    TestSystem(const TestSystem&) = delete;
    TestSystem& operator=(const TestSystem&) = delete;

    platform::System& system() { return system_; }
    platform::host::MemoryRegistry& registry() { return registry_; }
    platform::host::HostFileSystem& files() { return files_; }
    platform::host::HostEnvironment& environment() { return environment_; }
    platform::host::HostClock& clock() { return clock_; }
    // The host folder behind drive C:.
    const std::filesystem::path& driveC() const { return driveC_; }
    // The host path of a Windows path on drive C: ("C:\a\b" -> <driveC>/a/b).
    std::filesystem::path HostPath(std::string_view windowsPath) const;

private:
    explicit TestSystem(platform::Network* network);

    std::filesystem::path driveC_;
    platform::host::MemoryRegistry registry_;
    platform::host::HostFileSystem files_;
    platform::host::HostProcesses processes_;
    platform::host::HostEnvironment environment_;
    platform::host::HostClock clock_;
    platform::host::HostNetwork hostNetwork_{files_};
    platform::System system_;
};

}  // namespace testsupport
