// Builds without the secondary windows' tray class: the main window then runs
// as it does when the tray icon cannot be created.
#include "app/win32/TrayIcon.h"

namespace app {

std::unique_ptr<TrayIcon> MakeSystemTray() {
    return nullptr;
}

}  // namespace app
