#include "cli/Cli.h"

#include <ostream>

namespace cli {

int CommandSet::Run(platform::System& system, Console& console) const {
    // The deepest parsed subcommand wins, so "settings get" runs rather than
    // a handler of "settings" itself.
    const Command* chosen = nullptr;
    for (const Command& command : commands_) {
        if (command.parser->parsed()) chosen = &command;
    }
    if (chosen == nullptr) {
        console.err << app_.help();
        return kExitError;
    }
    return chosen->run(system, console);
}

void AddAllCommands(CommandSet& commands) {
    AddSettingsCommands(commands);
    AddDbCommands(commands);
}

}  // namespace cli
