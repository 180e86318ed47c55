#pragma once
// The console front end: commands over the same engine the window uses. The
// platform-specific mains parse their own options, build a platform::System
// and hand it to RunCli.
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "platform/System.h"

namespace cli {

// Exit statuses shared by all commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFound = 1;  // something was found / is missing, by command
inline constexpr int kExitError = 2;
inline constexpr int kExitRestart = 3;  // done, but a restart must finish it

struct Console {
    std::ostream& out;
    std::ostream& err;
    // Turns a file named on the command line into a path the platform's file
    // system understands.
    std::function<std::string(const std::string&)> resolvePath = [](const std::string& path) {
        return path;
    };
    // Where questions are answered; none: every question is answered No.
    std::istream* in = nullptr;
    // The Reference file of --reference, as the command line named it; empty
    // for the configured one.
    std::string reference{};
};

// One subcommand: its parser and what it does once the platform exists.
struct Command {
    CLI::App* parser = nullptr;
    std::function<int(platform::System&, Console&)> run;
};

class CommandSet {
  public:
    // Also adds the options that come before any command (--reference).
    explicit CommandSet(CLI::App& app);
    CLI::App& app() { return app_; }
    // Registers `run` for `parser` (a subcommand, possibly nested).
    void Add(CLI::App* parser, std::function<int(platform::System&, Console&)> run) {
        commands_.push_back({parser, std::move(run)});
    }
    // Runs the command that was parsed; kExitError with a message when none.
    int Run(platform::System& system, Console& console) const;

  private:
    CLI::App& app_;
    std::vector<Command> commands_;
    std::string reference_;
};

// The file named on the command line, else the one of --reference, else the
// configured Reference file ("rfp"), else the default one beside the
// program.
std::string ReferencePath(platform::System& system, Console& console, const std::string& file);

// Adds every command of the program to `commands`.
void AddAllCommands(CommandSet& commands);

// Command groups, one file each.
void AddSettingsCommands(CommandSet& commands);
void AddDbCommands(CommandSet& commands);
void AddUpdateCommands(CommandSet& commands);  // also db keygen, sign, verify
void AddScanCommands(CommandSet& commands);
void AddRemovalCommands(CommandSet& commands);  // remove, restore
void AddActiveXCommands(CommandSet& commands);
void AddShieldsCommands(CommandSet& commands);

}  // namespace cli
