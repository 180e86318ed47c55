#pragma once
// The native bxcli works offline on a Windows disk mapped into the host file
// system and on a registry loaded from .reg text.
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/host/WindowsDisk.h"
#include "platform/System.h"
#include "platform/host/HostClock.h"
#include "platform/host/HostEnvironment.h"
#include "platform/host/HostFileSystem.h"
#include "platform/host/HostNetwork.h"
#include "platform/host/HostProcesses.h"
#include "platform/host/MemoryRegistry.h"

namespace cli {

struct OfflineOptions {
    std::vector<std::string> drives;  // "C=/mnt/win"
    std::string registryFile;         // loaded before the command
    std::string saveRegistryFile;     // written after the command
    std::vector<std::string> env;     // "NAME=VALUE"
    std::string sid;                  // the user's security identifier
    std::string program;              // the program's own Windows path
    std::string windowsDisk;          // a Windows installation's root folder
    std::string user;                 // its user to work as
    bool readOnly = false;            // write nothing to its hives
};

void AddOfflineOptions(CLI::App& app, OfflineOptions& options);

// Parses "X=DIR" into a drive letter and a host folder; false when malformed.
bool ParseDriveMapping(const std::string& mapping, char* letter, std::string* folder);

// The Windows path under which a host file is seen: the program's own files
// are reached through drive Z:, the whole host file system, as under Wine.
std::string HostPathToWindows(const std::string& hostPath);

// A file named on the command line: a Windows path ("C:\\x") stays as it is;
// a host path is taken through drive Z:.
std::string ResolveCommandLinePath(const std::string& path);

// The host platform as the options describe it.
class OfflineSystem {
  public:
    // `hostExecutable` is the running binary's host path.
    explicit OfflineSystem(std::string hostExecutable);

    // Maps drives and loads the registry; false with a message on failure.
    bool Prepare(const OfflineOptions& options, std::string* error);
    // Writes the hives of --windows-disk back (unless --read-only), then the
    // registry when --save-registry was given.
    bool Finish(const OfflineOptions& options, std::string* error);

    platform::System& system() { return system_; }
    platform::host::MemoryRegistry& registry() { return registry_; }
    platform::host::HostFileSystem& files() { return files_; }
    platform::host::HostEnvironment& environment() { return environment_; }

  private:
    platform::host::MemoryRegistry registry_;
    platform::host::HostFileSystem files_;
    platform::host::HostProcesses processes_;
    platform::host::HostEnvironment environment_;
    platform::host::HostClock clock_;
    platform::host::HostNetwork network_{files_};
    platform::System system_;
    std::unique_ptr<WindowsDisk> disk_;
};

}  // namespace cli
