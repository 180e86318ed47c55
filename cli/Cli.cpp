#include "cli/Cli.h"

#include <ostream>

#include "settings/SettingsStore.h"
#include "settings/Strings.h"

namespace cli {

CommandSet::CommandSet(CLI::App& app) : app_(app) {
    app_.add_option("--reference", reference_,
                    "Use this Reference file for this run only (\"rfp\" stays as it is)");
}

int CommandSet::Run(platform::System& system, Console& console) const {
    // The deepest parsed subcommand wins, so "settings get" runs rather than
    // a handler of "settings" itself.
    const Command* chosen = nullptr;
    for (const Command& command : commands_) {
        if (command.parser->parsed())
            chosen = &command;
    }
    if (chosen == nullptr) {
        console.err << app_.help();
        return kExitError;
    }
    if (!reference_.empty())
        console.reference = reference_;
    return chosen->run(system, console);
}

std::string ReferencePath(platform::System& system, Console& console, const std::string& file) {
    if (!file.empty())
        return console.resolvePath(file);
    if (!console.reference.empty())
        return console.resolvePath(console.reference);
    settings::SettingsStore settings(system);
    std::string path;
    if (settings.GetSetting("rfp", &path) && !path.empty())
        return path;
    return settings.GetModulePath(false) + settings::strings::kDefaultReferenceFile;
}

void AddAllCommands(CommandSet& commands) {
    AddSettingsCommands(commands);
    AddDbCommands(commands);
    AddUpdateCommands(commands);
    AddScanCommands(commands);
    AddRemovalCommands(commands);
    AddActiveXCommands(commands);
    AddShieldsCommands(commands);
}

}  // namespace cli
