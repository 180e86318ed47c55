#include "cli/host/OfflineOptions.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/host/RegFile.h"

namespace cli {

void AddOfflineOptions(CLI::App& app, OfflineOptions& options) {
    app.add_option("--drive", options.drives,
                   "Map a Windows drive to a host folder, X=DIR (repeatable; fixed drives)");
    app.add_option("--registry", options.registryFile,
                   "Load the registry from this .reg file before the command");
    app.add_option("--save-registry", options.saveRegistryFile,
                   "Write the registry to this .reg file after the command");
    app.add_option("--env", options.env,
                   "Set an environment string, NAME=VALUE (SystemRoot, SystemDrive, "
                   "ProgramFiles, TEMP, USERPROFILE, ...)");
    app.add_option("--sid", options.sid, "The user's security identifier, S-1-5-...");
    app.add_option("--program", options.program,
                   "The program's own path as Windows sees it, e.g. C:\\Brindlex\\bxcli.exe "
                   "(default: this binary through Z:); its folder holds the backups and the "
                   "default Reference file");
    app.add_option("--windows-disk", options.windowsDisk,
                   "Work on the Windows installation under DIR (a mounted disk) with its own "
                   "registry hives: DIR is drive C:; changed hives are written back at the end, "
                   "each original kept once as NAME.brindlex-backup");
    app.add_option("--user", options.user,
                   "With --windows-disk: the user to work as (profile name or SID; default: the "
                   "only one)");
    app.add_flag("--read-only", options.readOnly,
                 "With --windows-disk: never write the hives (remove and restore are refused)");
}

bool ParseDriveMapping(const std::string& mapping, char* letter, std::string* folder) {
    // "C=/mnt/win"; "C:=/mnt/win" is accepted too.
    std::size_t equals = mapping.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 >= mapping.size())
        return false;
    std::string_view drive(mapping.data(), equals);
    if (drive.size() == 2 && drive[1] == ':')
        drive.remove_suffix(1);
    if (drive.size() != 1)
        return false;
    char c = text::ToUpperAscii(drive[0]);
    if (c < 'A' || c > 'Z')
        return false;
    *letter = c;
    *folder = mapping.substr(equals + 1);
    return true;
}

std::string HostPathToWindows(const std::string& hostPath) {
    std::string windows = "Z:";
    for (char c : hostPath)
        windows += (c == '/') ? '\\' : c;
    return windows;
}

std::string ResolveCommandLinePath(const std::string& path) {
    bool hasDrive = path.size() >= 2 && path[1] == ':' && text::ToUpperAscii(path[0]) >= 'A' &&
                    text::ToUpperAscii(path[0]) <= 'Z';
    if (hasDrive || path.empty())
        return path;
    std::error_code ignored;
    std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
    return HostPathToWindows(absolute.lexically_normal().string());
}

OfflineSystem::OfflineSystem(std::string hostExecutable)
    : processes_(HostPathToWindows(hostExecutable)), system_{registry_,    files_, processes_,
                                                             environment_, clock_, network_} {}

bool OfflineSystem::Prepare(const OfflineOptions& options, std::string* error) {
    if (options.windowsDisk.empty() && (!options.user.empty() || options.readOnly)) {
        *error = "--user and --read-only go with --windows-disk";
        return false;
    }
    if (!options.windowsDisk.empty() && !options.registryFile.empty()) {
        *error = "--windows-disk brings its own registry: leave out --registry";
        return false;
    }
    bool zMapped = false;
    for (const std::string& mapping : options.drives) {
        char letter = 0;
        std::string folder;
        if (!ParseDriveMapping(mapping, &letter, &folder)) {
            *error = "--drive needs X=DIR, not \"" + mapping + "\"";
            return false;
        }
        files_.MapDrive(letter, folder, platform::DriveType::kFixed);
        zMapped = zMapped || letter == 'Z';
    }
    if (!zMapped)
        files_.MapDrive('Z', "/", platform::DriveType::kRemote);
    if (!options.windowsDisk.empty()) {
        files_.MapDrive('C', options.windowsDisk, platform::DriveType::kFixed);
        disk_ = std::make_unique<WindowsDisk>();
        if (!disk_->Open(options.windowsDisk, options.user, options.readOnly, registry_,
                         environment_, error))
            return false;
    }

    for (const std::string& assignment : options.env) {
        std::size_t equals = assignment.find('=');
        if (equals == std::string::npos || equals == 0) {
            *error = "--env needs NAME=VALUE, not \"" + assignment + "\"";
            return false;
        }
        environment_.SetVariable(assignment.substr(0, equals), assignment.substr(equals + 1));
    }
    if (!options.sid.empty())
        environment_.SetUserSid(options.sid);
    if (!options.program.empty())
        processes_.SetModuleFileName(options.program);
    // "regedit /e" and "/S" of backups and restores work on this registry.
    processes_.EmulateRegistryEditor(registry_, files_);
    std::string temp = environment_.Variable("TEMP");
    if (!temp.empty())
        files_.SetTempFolder(temp);
    registry_.LinkCurrentUser(environment_.UserSid());
    environment_.ReadShellFoldersFrom(&registry_);

    if (options.registryFile.empty())
        return true;
    std::ifstream in(options.registryFile, std::ios::binary);
    if (!in) {
        // A registry file that does not exist yet is fine when the command is
        // about to create it.
        if (options.registryFile == options.saveRegistryFile)
            return true;
        *error = "Cannot read the registry file " + options.registryFile;
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::string parseError;
    if (platform::host::ImportRegText(registry_, bytes.str(), &parseError) != platform::kSuccess) {
        *error = options.registryFile + ": " + parseError;
        return false;
    }
    return true;
}

bool OfflineSystem::Finish(const OfflineOptions& options, std::string* error) {
    if (disk_ && !disk_->Save(registry_, nullptr, error))
        return false;
    if (options.saveRegistryFile.empty())
        return true;
    std::string text;
    if (platform::Status status =
            platform::host::SaveAll(registry_, platform::host::RegFormat::kRegedit4, &text);
        status != platform::kSuccess) {
        *error = "Cannot export the registry (error " + std::to_string(status) + ")";
        return false;
    }
    std::ofstream out(options.saveRegistryFile, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        *error = "Cannot write the registry file " + options.saveRegistryFile;
        return false;
    }
    return true;
}

}  // namespace cli
