// bxcli remove and bxcli restore: the Remove Items command of the window run
// over a fresh scan, and the restore windows' listing and restoring.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <istream>
#include <memory>
#include <ostream>
#include <set>
#include <string>

#include "cli/Cli.h"
#include "cli/ScanRun.h"
#include "platform/Text.h"
#include "removal/Backup.h"
#include "removal/RemovalFlow.h"
#include "removal/Restore.h"
#include "settings/SettingsStore.h"

namespace cli {
namespace {

using json = nlohmann::ordered_json;

struct RemoveOptions {
    ScanOptions scan;
    bool backup = false;
    bool yes = false;
};

// The questions of the removal on the console: the backup question is
// answered by --backup, every other question by --yes or by the user.
class ConsolePrompts : public removal::Prompts {
  public:
    ConsolePrompts(Console& console, const RemoveOptions& options)
        : console_(console), options_(options) {}

    removal::Answer Ask(std::string_view text, std::string_view,
                        removal::Buttons buttons) override {
        if (buttons == removal::Buttons::kOk) {
            console_.err << text << "\n";
            return removal::Answer::kOk;
        }
        if (text == removal::kBackupQuestion)
            return options_.backup ? removal::Answer::kYes : removal::Answer::kNo;
        const bool okCancel = buttons == removal::Buttons::kOkCancel;
        const removal::Answer yes = okCancel ? removal::Answer::kOk : removal::Answer::kYes;
        const removal::Answer no = okCancel ? removal::Answer::kCancel : removal::Answer::kNo;
        if (options_.yes)
            return yes;
        console_.err << text << " [y/N] " << std::flush;
        std::string line;
        if (console_.in == nullptr || !std::getline(*console_.in, line)) {
            console_.err << "\n";
            return no;
        }
        line = std::string(text::Trim(line));
        return (line == "y" || line == "Y" || text::EqualsNoCase(line, "yes")) ? yes : no;
    }

  private:
    Console& console_;
    const RemoveOptions& options_;
};

class ConsoleBackup : public removal::BackupMaker {
  public:
    explicit ConsoleBackup(platform::System& system) : system_(system) {}
    bool CreateBackup(refdb::ReferenceDatabase& database) override {
        removal::BackupOptions options;
        options.archivePath = &archivePath;
        return removal::CreateBackup(system_, database, options);
    }
    std::string archivePath;

  private:
    platform::System& system_;
};

// No window: the pass runs at once.
class ConsoleView : public removal::RemovalView {
  public:
    bool RunRemovalDialog(int,
                          const std::function<bool(removal::RemovalProgress&)>& pass) override {
        struct : removal::RemovalProgress {
            void Step() override {}
        } progress;
        return pass(progress);
    }
    void OnDetectionsCleared() override {}
};

int RunRemove(platform::System& system, Console& console, const RemoveOptions& options) {
    refdb::ReferenceDatabase database(system);
    scan::ResultRows rows;
    ScanOutcome scanned;
    if (int status = ScanForRows(system, console, options.scan, database, rows, &scanned);
        status != kExitOk)
        return status;
    PrintRows(console, rows, scanned.scanned, scanned.aborted);
    if (scanned.aborted) {
        console.err << "The scan was stopped: nothing was removed\n";
        return kExitError;
    }

    ConsoleBackup backup(system);
    std::string confirm;
    const bool asksBackup =
        settings::SettingsStore(system).GetSetting("abrs", &confirm) && confirm == "1";
    // With the confirmation setting off the flow asks nothing, but --backup
    // still means: no removal without a backup.
    if (options.backup && !asksBackup && !rows.empty() && !backup.CreateBackup(database)) {
        console.err << "The backup could not be made: nothing was removed\n";
        return kExitError;
    }

    ConsolePrompts prompts(console, options);
    ConsoleView view;
    std::string logPath;
    removal::RemovalRequest request{system, database, rows, prompts, backup, view};
    request.logPath = &logPath;
    request.restartAllowed = false;
    const removal::RemovalOutcome outcome = removal::RemoveSelectedItems(request);

    if (!backup.archivePath.empty())
        console.out << "Backup: " << backup.archivePath << "\n";
    if (!logPath.empty())
        console.out << "Removal log: " << logPath << "\n";
    switch (outcome) {
        case removal::RemovalOutcome::kNothingToRemove:
            return kExitOk;
        case removal::RemovalOutcome::kStopped:
            console.err << "Nothing was removed\n";
            return kExitError;
        case removal::RemovalOutcome::kRestartPending:
        case removal::RemovalOutcome::kRestartStarted:
        case removal::RemovalOutcome::kRestartFailed:
            console.out << "Restart Windows to finish the removal: some files are deleted at the "
                           "next start\n";
            return kExitRestart;
        case removal::RemovalOutcome::kRemoved:
            break;
    }

    // What the pass could not remove shows up again in the same scan.
    ScanOptions quiet = options.scan;
    quiet.progress = false;
    refdb::ReferenceDatabase again(system);
    scan::ResultRows left;
    ScanOutcome rescanned;
    if (ScanForRows(system, console, quiet, again, left, &rescanned) != kExitOk)
        return kExitError;
    if (left.empty())
        return kExitOk;
    console.err << "Still present after the removal:\n";
    for (const scan::ResultRow& row : left.rows())
        console.err << row.type << '\t' << row.item << '\t' << row.location << '\n';
    return kExitError;
}

struct RestoreOptions {
    std::string archive;
    bool all = false;
    std::vector<int> items;
    bool json = false;
};

std::string IsoDate(const platform::LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    return text;
}

int RunRestoreList(platform::System& system, Console& console, bool asJson) {
    const std::vector<removal::BackupArchive> archives = removal::ListBackups(system);
    if (asJson) {
        json list = json::array();
        for (const removal::BackupArchive& archive : archives) {
            list.push_back({{"archive", archive.fileName},
                            {"date", IsoDate(archive.date)},
                            {"text", removal::BackupRowText(system.clock, archive.date)}});
        }
        console.out << json{{"folder", removal::BackupFolder(system)}, {"backups", list}}.dump(
                           2, ' ', false, json::error_handler_t::replace)
                    << "\n";
        return kExitOk;
    }
    for (const removal::BackupArchive& archive : archives) {
        console.out << archive.fileName << '\t'
                    << removal::BackupRowText(system.clock, archive.date) << '\n';
    }
    if (archives.empty())
        console.err << "No backups in " << removal::BackupFolder(system) << "\n";
    return kExitOk;
}

int RunRestore(platform::System& system, Console& console, const RestoreOptions& options) {
    // A backup is named as the listing shows it; a path is reduced to its name.
    std::string name = options.archive;
    const std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    if (name.empty() || !system.files.Exists(removal::BackupFolder(system) + "\\" + name)) {
        console.err << "No such backup: " << options.archive << " (see \"restore list\")\n";
        return kExitError;
    }
    const removal::UnpackResult unpacked = removal::UnpackBackup(system, name);
    // The scratch folder goes whatever happens next.
    struct Cleanup {
        platform::System& system;
        std::string folder;
        ~Cleanup() { removal::RemoveFolderTree(system.files, folder); }
    } cleanup{system, unpacked.scratchFolder};
    if (!unpacked.manifestRead) {
        console.err << name << ": the backup cannot be opened or has no list of items\n";
        return kExitError;
    }

    const bool restoring = options.all || !options.items.empty();
    if (!restoring) {
        if (options.json) {
            json list = json::array();
            int number = 0;
            for (const removal::BackupItem& item : unpacked.items) {
                list.push_back({{"number", ++number},
                                {"kind", item.kind},
                                {"name", item.name},
                                {"path", item.path}});
            }
            console.out << json{{"archive", name}, {"items", list}}.dump(
                               2, ' ', false, json::error_handler_t::replace)
                        << "\n";
        } else {
            int number = 0;
            for (const removal::BackupItem& item : unpacked.items) {
                console.out << ++number << '\t' << item.kind << '\t' << item.name << '\t'
                            << item.path << '\n';
            }
        }
        return kExitOk;
    }

    std::vector<removal::BackupItem> chosen;
    if (options.all) {
        chosen = unpacked.items;
    } else {
        std::set<int> seen;
        for (int number : options.items) {
            if (number < 1 || number > static_cast<int>(unpacked.items.size())) {
                console.err << "No item " << number << " in " << name << " (it has "
                            << unpacked.items.size() << ")\n";
                return kExitError;
            }
            if (seen.insert(number).second)
                chosen.push_back(unpacked.items[static_cast<std::size_t>(number - 1)]);
        }
    }
    std::vector<const removal::BackupItem*> failed;
    const int restored = removal::RestoreItems(system, unpacked.scratchFolder, chosen, &failed);
    for (const removal::BackupItem* item : failed)
        console.err << "Not restored: " << item->kind << '\t' << item->name << '\t' << item->path
                    << '\n';
    const bool complete = restored == static_cast<int>(chosen.size());
    if (options.json) {
        console.out << json{{"archive", name},
                            {"selected", chosen.size()},
                            {"restored", restored},
                            {"message", removal::RestoreResultMessage(restored)}}
                           .dump(2)
                    << "\n";
    } else {
        console.out << removal::RestoreResultMessage(restored) << ": " << restored << " of "
                    << chosen.size() << "\n";
    }
    return complete ? kExitOk : kExitError;
}

}  // namespace

void AddRemovalCommands(CommandSet& commands) {
    auto remove = std::make_shared<RemoveOptions>();
    CLI::App* removeCommand = commands.app().add_subcommand(
        "remove",
        "Scan, then remove everything found, as REMOVE ITEMS does with every row checked");
    AddScanOptions(removeCommand, remove->scan);
    removeCommand->add_flag("--backup", remove->backup,
                            "Back up what is removed first (answers the backup question)");
    removeCommand->add_flag("--yes", remove->yes, "Answer every other question with yes");
    removeCommand->footer(
        "Exit status: 0 everything was removed (or nothing found), 3 a restart finishes the "
        "removal, 2 an error or something is still present. Windows is never restarted by this "
        "command.");
    commands.Add(removeCommand, [remove](platform::System& system, Console& console) {
        return RunRemove(system, console, *remove);
    });

    auto restore = std::make_shared<RestoreOptions>();
    CLI::App* restoreCommand =
        commands.app().add_subcommand("restore", "Backups made by remove and REMOVE ITEMS");
    CLI::App* listCommand = restoreCommand->add_subcommand("list", "The backups with their dates");
    auto listJson = std::make_shared<bool>(false);
    listCommand->add_flag("--json", *listJson, "One JSON object");
    restoreCommand->add_option("archive", restore->archive,
                               "A backup as \"restore list\" names it; without --all or --item "
                               "its items are listed with their numbers");
    CLI::Option* all = restoreCommand->add_flag("--all", restore->all, "Restore every item");
    CLI::Option* items =
        restoreCommand->add_option("--item", restore->items, "Restore these items (numbers)");
    all->excludes(items);
    restoreCommand->add_flag("--json", restore->json, "One JSON object");
    commands.Add(restoreCommand, [restore](platform::System& system, Console& console) {
        if (restore->archive.empty()) {
            console.err << "Name a backup (see \"restore list\")\n";
            return kExitError;
        }
        return RunRestore(system, console, *restore);
    });
    // After "restore": the deepest parsed command runs.
    commands.Add(listCommand, [listJson](platform::System& system, Console& console) {
        return RunRestoreList(system, console, *listJson);
    });
}

}  // namespace cli
