#include "cli/Cli.h"

#include <ostream>

#include "settings/SettingsStore.h"
#include "settings/Strings.h"

namespace cli {

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
    return chosen->run(system, console);
}

std::string ReferencePath(platform::System& system, Console& console, const std::string& file) {
    if (!file.empty())
        return console.resolvePath(file);
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
}

}  // namespace cli
