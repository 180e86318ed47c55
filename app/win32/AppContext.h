#pragma once
// What every window of the program works with: the operating system, the
// loaded Reference file and the results of the last scan. Owned by the
// application object; the windows hold a reference.
#include <string>
#include <vector>

#include "platform/System.h"
#include "refdb/ReferenceDatabase.h"
#include "scan/ResultRows.h"

namespace app {

struct AppContext {
    platform::System& system;
    refdb::ReferenceDatabase& database;
    // The rows of the results list, the data behind the list control.
    scan::ResultRows& rows;
    // The executable's full path.
    std::string modulePath;
    // Set while the tray icon is shown (the main window is hidden).
    bool trayIconShown = false;
    // At least one shield is on.
    bool anyShieldOn = false;
};

}  // namespace app
