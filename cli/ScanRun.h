#pragma once
// The scan as the console runs it, shared by "scan" and "remove": the scan
// options, running a scan into result rows, and printing them.
#include <string>

#include <CLI/CLI.hpp>

#include "cli/Cli.h"
#include "refdb/ReferenceDatabase.h"
#include "scan/ResultRows.h"

namespace cli {

struct ScanOptions {
    bool smart = false;
    bool full = false;
    std::string folder;
    bool subfolders = false;
    bool zip = false;
    bool log = false;
    bool json = false;
    bool progress = false;
};

struct ScanOutcome {
    int scanned = 0;
    bool aborted = false;  // Ctrl+C
    bool smart = false;
};

// --smart, --full, --folder, --subfolders, --zip and --progress.
void AddScanOptions(CLI::App* command, ScanOptions& options);

// Loads the Reference file into `database` and scans into `rows`. kExitOk, or
// kExitError with the reason printed.
int ScanForRows(platform::System& system, Console& console, const ScanOptions& options,
                refdb::ReferenceDatabase& database, scan::ResultRows& rows, ScanOutcome* outcome);

// One tab-separated line per row (type, danger, item, location) and a summary.
void PrintRows(Console& console, const scan::ResultRows& rows, int scanned, bool aborted);

}  // namespace cli
