#pragma once
// A Windows installation on a disk mounted into the host file system, seen
// with its own registry: the machine's hives (System32\config\SOFTWARE and
// SYSTEM) and one user's (NTUSER.DAT and UsrClass.dat) are loaded into the
// in-memory registry where Windows shows them, and the environment is taken
// from them.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/HiveFile.h"
#include "platform/host/HostEnvironment.h"
#include "platform/host/MemoryRegistry.h"

namespace cli {

// One account of the machine's profile list.
struct DiskUser {
    std::string name;     // the profile folder's name
    std::string sid;      // "S-1-5-21-..."
    std::string profile;  // "C:\Users\name"
};

// The host path of a Windows path below `base` ("Windows\System32" ...),
// each component matched without regard to ASCII case (the exact spelling
// first); empty when a component is missing.
std::filesystem::path FindNoCase(const std::filesystem::path& base, std::string_view relative);

class WindowsDisk {
  public:
    // Loads the installation below `root` for `user` (a profile name or SID;
    // empty: the only user). With `readOnly`, Save never writes. False with a
    // message when the installation, a hive or the user cannot be found, or a
    // hive does not parse; nothing has been written then.
    bool Open(const std::filesystem::path& root, const std::string& user, bool readOnly,
              platform::host::MemoryRegistry& registry,
              platform::host::HostEnvironment& environment, std::string* error);
    // Writes the changed hives back (see MountedHive::Save); `written` gets the
    // hive files that changed.
    bool Save(platform::host::MemoryRegistry& registry, std::vector<std::string>* written,
              std::string* error);

    const DiskUser& user() const { return user_; }

  private:
    bool Mount(const std::filesystem::path& file, platform::host::MemoryRegistry& registry,
               platform::HKey root, const std::string& keyPath, bool required, std::string* error);

    std::vector<std::unique_ptr<platform::host::MountedHive>> hives_;
    DiskUser user_;
    bool readOnly_ = false;
};

}  // namespace cli
