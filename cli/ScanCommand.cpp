// bxcli scan: the smart, full or folder scan of the window, printed as the
// results list would show it.
#include <nlohmann/json.hpp>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>

#include "cli/Cli.h"
#include "cli/Interrupt.h"
#include "cli/ScanRun.h"
#include "platform/ScopedKey.h"
#include "platform/Text.h"
#include "refdb/ReferenceDatabase.h"
#include "scan/ResultRows.h"
#include "scan/ScanDriver.h"
#include "scan/ScanLog.h"
#include "settings/SettingsStore.h"
#include "settings/Strings.h"

namespace cli {
namespace {

// Keys stay in the order written.
using json = nlohmann::ordered_json;

// Sets a REG_DWORD scan setting for one run and puts the earlier state back
// (value, or no value) when it goes out of scope.
class TemporarySetting {
  public:
    TemporarySetting(platform::System& system, const char* name, std::uint32_t value)
        : registry_(system.registry), name_(name) {
        platform::ScopedKey key;
        if (platform::ScopedKey::Open(registry_, platform::kHkeyCurrentUser,
                                      settings::strings::kSettingsKey, platform::kKeyQueryValue,
                                      &key) == platform::kSuccess) {
            std::uint32_t type = 0;
            std::uint32_t size = 0;
            if (registry_.QueryValue(key.get(), name_, &type, nullptr, &size) ==
                platform::kSuccess) {
                std::string data(size, '\0');
                if (registry_.QueryValue(key.get(), name_, &type, data.data(), &size) ==
                    platform::kSuccess) {
                    data.resize(size);
                    previous_ = Saved{type, std::move(data)};
                }
            }
        }
        changed_ = settings::SettingsStore(system).SetDword(name_, value);
    }
    ~TemporarySetting() {
        if (!changed_)
            return;
        platform::ScopedKey key;
        if (platform::ScopedKey::Open(registry_, platform::kHkeyCurrentUser,
                                      settings::strings::kSettingsKey, platform::kKeySetValue,
                                      &key) != platform::kSuccess) {
            return;
        }
        if (previous_) {
            registry_.SetValue(key.get(), name_, previous_->type, previous_->data.data(),
                               static_cast<std::uint32_t>(previous_->data.size()));
        } else {
            registry_.DeleteValue(key.get(), name_);
        }
    }
    TemporarySetting(const TemporarySetting&) = delete;
    TemporarySetting& operator=(const TemporarySetting&) = delete;

    bool ok() const { return changed_; }

  private:
    struct Saved {
        std::uint32_t type;
        std::string data;
    };
    platform::Registry& registry_;
    const char* name_;
    std::optional<Saved> previous_;
    bool changed_ = false;
};

// Feeds the results list from the scan thread and tells the waiting thread
// when the scan has ended.
class ConsoleObserver : public scan::ScanObserver {
  public:
    ConsoleObserver(scan::ResultRows& rows, std::ostream* progress)
        : rows_(rows), progress_(progress) {}

    void OnProgress(std::string_view text, int) override {
        if (progress_ != nullptr)
            *progress_ << text << "\n" << std::flush;
    }
    void OnFile(refdb::SpywareEntry& entry, refdb::FileItem& item) override {
        rows_.AddFile(entry, item);
    }
    void OnCookie(refdb::SpywareEntry& entry, refdb::CookieItem& item) override {
        rows_.AddCookie(entry, item);
    }
    void OnDirectory(refdb::SpywareEntry& entry, refdb::DirectoryItem& item) override {
        rows_.AddDirectory(entry, item);
    }
    void OnRegKey(refdb::SpywareEntry& entry, refdb::RegKeyItem& item) override {
        rows_.AddRegKey(entry, item);
    }
    void OnRegValue(refdb::SpywareEntry& entry, refdb::RegValueItem& item) override {
        rows_.AddRegValue(entry, item);
    }
    void OnRegData(refdb::SpywareEntry& entry, refdb::RegDataItem& item) override {
        rows_.AddRegData(entry, item);
    }
    void OnPrefsLine(refdb::SpywareEntry& entry, refdb::PrefsLineItem& item) override {
        rows_.AddPrefsLine(entry, item);
    }
    void OnFinished() override {
        std::lock_guard lock(mutex_);
        finished_ = true;
        changed_.notify_all();
    }

    bool WaitFinished(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [this] { return finished_; });
    }

  private:
    scan::ResultRows& rows_;
    std::ostream* progress_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool finished_ = false;
};

const char* ScanTypeName(const ScanOptions& options, bool smart) {
    if (!options.folder.empty())
        return "folder";
    return smart ? "smart" : "full";
}

void PrintJson(Console& console, const scan::ResultRows& rows, const char* type, int scanned,
               bool aborted) {
    json list = json::array();
    for (const scan::ResultRow& row : rows.rows()) {
        const refdb::FileItem* file = row.data.As<refdb::FileItem>();
        list.push_back({{"item", row.item},
                        {"type", row.type},
                        {"location", row.location},
                        {"danger", row.danger},
                        {"md5", file != nullptr ? file->md5 : std::string()}});
    }
    json result = {{"scanType", type}, {"scanned", scanned}, {"aborted", aborted}, {"rows", list}};
    // Names from the system may hold bytes that are not UTF-8; they are shown
    // replaced rather than failing the whole output.
    console.out << result.dump(2, ' ', false, json::error_handler_t::replace) << "\n";
}

int RunScan(platform::System& system, Console& console, const ScanOptions& options) {
    refdb::ReferenceDatabase database(system);
    scan::ResultRows rows;
    ScanOutcome outcome;
    if (int status = ScanForRows(system, console, options, database, rows, &outcome);
        status != kExitOk)
        return status;
    if (options.json) {
        PrintJson(console, rows, ScanTypeName(options, outcome.smart), outcome.scanned,
                  outcome.aborted);
    } else {
        PrintRows(console, rows, outcome.scanned, outcome.aborted);
    }
    if (options.log && !rows.empty()) {
        std::string logPath = scan::WriteScanLog(system, rows);
        if (logPath.empty()) {
            console.err << "The scan log could not be written\n";
        } else {
            console.err << "Scan log: " << logPath << "\n";
        }
    }
    return rows.empty() ? kExitOk : kExitFound;
}

}  // namespace

int ScanForRows(platform::System& system, Console& console, const ScanOptions& options,
                refdb::ReferenceDatabase& database, scan::ResultRows& rows, ScanOutcome* outcome) {
    std::string folder;
    if (!options.folder.empty()) {
        folder = console.resolvePath(options.folder);
        // "C:\" stays a drive root; any other trailing backslash goes.
        if (folder.size() > 3)
            folder = text::WithoutTrailingBackslash(folder);
        if (!system.files.IsDirectory(folder)) {
            console.err << "No such folder: " << options.folder << "\n";
            return kExitError;
        }
    }

    std::string referencePath = ReferencePath(system, console, "");
    if (!database.LoadReference(referencePath)) {
        console.err << referencePath << ": " << database.LastError() << "\n";
        return kExitError;
    }

    // Held until the temporary settings are put back, so that Ctrl+C cannot
    // end the process before they are.
    InterruptGuard interrupt;
    settings::SettingsStore settings(system);
    bool smart = options.smart || (!options.full && settings.GetDword("scantype") != 0);
    std::optional<TemporarySetting> subfolders;
    std::optional<TemporarySetting> zipFiles;
    if (options.subfolders)
        subfolders.emplace(system, "sbfolders", 1);
    if (options.zip)
        zipFiles.emplace(system, "zipfiles", 1);
    if ((subfolders && !subfolders->ok()) || (zipFiles && !zipFiles->ok())) {
        console.err << "Cannot write the scan settings under HKEY_CURRENT_USER\\"
                    << settings::strings::kSettingsKey << "\n";
        return kExitError;
    }

    ConsoleObserver observer(rows, options.progress ? &console.err : nullptr);
    scan::ScanContext context(system, database, observer);
    scan::ResetDetections(database);

    std::unique_ptr<scan::ScanObject> running;
    bool started = false;
    if (!folder.empty()) {
        auto folderScan = std::make_unique<scan::FolderScan>(context);
        started = folderScan->Start(folder);
        running = std::move(folderScan);
    } else if (smart) {
        auto smartScan = std::make_unique<scan::SmartScan>(context);
        started = smartScan->Start();
        running = std::move(smartScan);
    } else {
        auto fullScan = std::make_unique<scan::FullScan>(context);
        started = fullScan->Start();
        running = std::move(fullScan);
    }
    if (!started) {
        console.err << "The scan could not be started\n";
        return kExitError;
    }
    bool aborted = false;
    while (!observer.WaitFinished(std::chrono::milliseconds(100))) {
        if (!aborted && interrupt.Interrupted()) {
            running->Stop();
            aborted = true;
        }
    }
    running->Wait();

    outcome->scanned = context.scannedCount.load();
    outcome->aborted = aborted;
    outcome->smart = smart;
    return kExitOk;
}

void PrintRows(Console& console, const scan::ResultRows& rows, int scanned, bool aborted) {
    for (const scan::ResultRow& row : rows.rows()) {
        console.out << row.type << '\t' << row.danger << '\t' << row.item << '\t' << row.location
                    << '\n';
    }
    console.out << (aborted ? "Scan Aborted" : "Scan Complete") << ": " << scanned << " checked, "
                << rows.total() << " found\n";
}

void AddScanOptions(CLI::App* command, ScanOptions& options) {
    CLI::Option* smart = command->add_flag("--smart", options.smart, "Smart System Scan");
    CLI::Option* full = command->add_flag("--full", options.full, "Full System Scan");
    CLI::Option* folder = command->add_option("--folder", options.folder, "Scan this folder only");
    smart->excludes(full, folder);
    full->excludes(folder);
    command->add_flag("--subfolders", options.subfolders,
                      "Folder scan: enter subfolders (this run only)");
    command->add_flag("--zip", options.zip, "Look inside zip archives (this run only)");
    command->add_flag("--progress", options.progress,
                      "Print every thing checked to the error stream");
}

void AddScanCommands(CommandSet& commands) {
    auto options = std::make_shared<ScanOptions>();
    CLI::App* scanCommand = commands.app().add_subcommand(
        "scan", "Scan for unwanted programs; exit status 1 when something is found");
    AddScanOptions(scanCommand, *options);
    scanCommand->add_flag("--log", options->log,
                          "Write the scan log into the log folder when something was found");
    scanCommand->add_flag("--json", options->json, "One JSON object");
    scanCommand->footer(
        "Without --smart, --full or --folder the \"scantype\" setting chooses. Ctrl+C stops the "
        "scan and reports what was found so far.");
    commands.Add(scanCommand, [options](platform::System& system, Console& console) {
        return RunScan(system, console, *options);
    });
}

}  // namespace cli
