// bxcli (native): the console front end over a mapped Windows disk and a
// registry loaded from .reg text.
#include <unistd.h>

#include <climits>
#include <iostream>
#include <string>

#include "cli/Cli.h"
#include "cli/host/OfflineOptions.h"

namespace {

std::string RunningExecutable(const char* argv0) {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0)
        return argv0;
    return std::string(buffer, static_cast<std::size_t>(n));
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Brindlex console: scans, removal, restore, updates and database tools", "bxcli"};
    app.require_subcommand(1);
    cli::OfflineOptions options;
    cli::AddOfflineOptions(app, options);
    cli::CommandSet commands(app);
    cli::AddAllCommands(commands);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    // A read-only look at a disk must not change its files either.
    if (options.readOnly && (app.got_subcommand("remove") || app.got_subcommand("restore"))) {
        std::cerr << "--read-only: remove and restore change the disk; leave out --read-only\n";
        return cli::kExitError;
    }
    cli::OfflineSystem offline(RunningExecutable(argv[0]));
    std::string error;
    if (!offline.Prepare(options, &error)) {
        std::cerr << error << "\n";
        return cli::kExitError;
    }
    cli::Console console{std::cout, std::cerr, cli::ResolveCommandLinePath, &std::cin};
    int status = commands.Run(offline.system(), console);
    if (!offline.Finish(options, &error)) {
        std::cerr << error << "\n";
        return cli::kExitError;
    }
    return status;
}
