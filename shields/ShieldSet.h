#pragma once
// The one list of shields, in their start order.
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/System.h"
#include "shields/Alerts.h"
#include "shields/Shield.h"

namespace refdb {
class ReferenceDatabase;
}

namespace shields {

class ShortcutResolver;
class CookieDecisionStore;

// What every shield works with. The Windows program may fill in more
// before the shields are made (parts of Windows a shield needs beyond
// platform::System).
struct ShieldServices {
    platform::System& system;
    // The runtime flags; only `CShieldMonitor` writes them.
    const ShieldSwitches& switches;
    ShieldAlerts& alerts;

    // The loaded Reference file, whose cookie names the cookie shield
    // guards against; none natively.
    const refdb::ReferenceDatabase* database = nullptr;
    // Reads a favorite's address; without one, favorites have none and
    // are accepted without a question.
    ShortcutResolver* shortcuts = nullptr;
    // Registers the main window for the shell's notices about the
    // Favorites folder and below; false when that failed.
    std::function<bool()> registerFavorites = nullptr;
    // The per-cookie decisions, shared with the "Ignored Cookies" window;
    // the registry's own when none is given.
    CookieDecisionStore* cookieDecisions = nullptr;
    // A message box for a failure the user has to know about.
    std::function<void(std::string_view message)> tellUser = nullptr;
};

std::vector<std::unique_ptr<Shield>> MakeShields(ShieldServices& services);

}  // namespace shields
