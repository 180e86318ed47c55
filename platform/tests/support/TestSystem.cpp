#include "platform/tests/support/TestSystem.h"

#include <cstdlib>
#include <stdexcept>

namespace testsupport {

namespace {
std::filesystem::path MakeTempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bxtest.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}
}  // namespace

TestSystem::TestSystem() : TestSystem(nullptr) {}

TestSystem::TestSystem(platform::Network& network) : TestSystem(&network) {}

TestSystem::TestSystem(platform::Network* network)
    : driveC_(MakeTempFolder()),
      processes_(kProgramFile),
      system_{registry_,    files_, processes_,
              environment_, clock_, network != nullptr ? *network : hostNetwork_} {
    files_.MapDrive('C', driveC_.string());
    std::filesystem::create_directories(HostPath(kProgramFolder));
    std::filesystem::create_directories(HostPath("C:\\Windows\\Temp"));
    registry_.LinkCurrentUser(environment_.UserSid());
    environment_.ReadShellFoldersFrom(&registry_);
}

TestSystem::~TestSystem() {
    std::error_code ignored;
    // Read-only files inside do not stop the removal of the whole tree.
    std::filesystem::remove_all(driveC_, ignored);
}

std::filesystem::path TestSystem::HostPath(std::string_view windowsPath) const {
    std::filesystem::path path = driveC_;
    std::string_view rest = windowsPath.substr(windowsPath.size() >= 2 ? 2 : 0);
    std::string component;
    for (char c : rest) {
        if (c == '\\' || c == '/') {
            if (!component.empty()) path /= component;
            component.clear();
        } else {
            component += c;
        }
    }
    if (!component.empty()) path /= component;
    return path;
}

}  // namespace testsupport
