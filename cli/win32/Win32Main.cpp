// bxcli.exe: the console front end on Windows, over the real registry and
// file system.
#include "platform/win32/Windows.h"

#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32System.h"

int wmain(int argc, wchar_t** argv) {
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> utf8Args;
    utf8Args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i)
        utf8Args.push_back(platform::win32::Narrow(argv[i]));
    std::vector<char*> args;
    for (std::string& arg : utf8Args)
        args.push_back(arg.data());

    CLI::App app{"Brindlex console: scans, removal, restore, updates and database tools", "bxcli"};
    app.require_subcommand(1);
    cli::CommandSet commands(app);
    cli::AddAllCommands(commands);
    try {
        app.parse(static_cast<int>(args.size()), args.data());
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }

    platform::win32::Win32System windows;
    cli::Console console{std::cout, std::cerr};
    console.in = &std::cin;
    return commands.Run(windows.system, console);
}
