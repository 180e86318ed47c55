#include "platform/host/HostProcesses.h"

#include <utility>

#include "platform/Text.h"
#include "platform/host/RegFile.h"

namespace platform::host {

namespace {

// The command line split as the registry editor reads it: blanks separate
// arguments, double quotes group blanks into one and are dropped.
std::vector<std::string> SplitArguments(std::string_view line) {
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false;
    bool pending = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            pending = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (pending)
                arguments.push_back(std::move(current));
            current.clear();
            pending = false;
        } else {
            current.push_back(c);
            pending = true;
        }
    }
    if (pending)
        arguments.push_back(std::move(current));
    return arguments;
}

}  // namespace

HostProcesses::HostProcesses(std::string moduleFileName)
    : moduleFileName_(std::move(moduleFileName)) {}

std::string HostProcesses::ModuleFileName() {
    return moduleFileName_;
}

void HostProcesses::EmulateRegistryEditor(Registry& registry, FileSystem& files) {
    registry_ = &registry;
    files_ = &files;
}

bool HostProcesses::RunProgram(std::string_view program, std::string_view parameters, bool wait) {
    std::string command(program);
    command.append(" ").append(parameters);
    started_.push_back(std::move(command));
    const bool isRegistryEditor = text::EqualsNoCase(text::FileName(program), "regedit.exe");
    if (isRegistryEditor && registry_ != nullptr)
        RunRegistryEditor(parameters);
    else if (!wait)
        return false;
    // As with the shell: a wait reports nothing about the program itself.
    return true;
}

void HostProcesses::RunRegistryEditor(std::string_view parameters) {
    const std::vector<std::string> arguments = SplitArguments(parameters);
    if (arguments.size() >= 3 && text::EqualsNoCase(arguments[0], "/e")) {
        const std::string& key = arguments[2];
        const std::size_t slash = key.find('\\');
        const HKey root = RootFromName(key.substr(0, slash));
        if (root == kNullKey)
            return;
        const std::string path = slash == std::string::npos ? std::string() : key.substr(slash + 1);
        std::string exported;
        // Like the real editor: nothing is written when the key is missing.
        if (ExportRegText(*registry_, root, path, RegFormat::kVersion5, &exported) == kSuccess)
            files_->WriteFile(arguments[1], exported);
        return;
    }
    if (arguments.size() >= 2 && text::EqualsNoCase(arguments[0], "/s")) {
        std::string contents;
        if (files_->ReadFile(arguments[1], &contents) == kSuccess)
            ImportRegText(*registry_, contents, nullptr);
    }
}

}  // namespace platform::host
