#pragma once
// The one list of shields, in their start order.
#include <memory>
#include <vector>

#include "platform/System.h"
#include "shields/Alerts.h"
#include "shields/Shield.h"

namespace shields {

// What every shield works with. The Windows program may fill in more
// before the shields are made (parts of Windows a shield needs beyond
// platform::System).
struct ShieldServices {
    platform::System& system;
    // The runtime flags; only `CShieldMonitor` writes them.
    const ShieldSwitches& switches;
    ShieldAlerts& alerts;
};

std::vector<std::unique_ptr<Shield>> MakeShields(ShieldServices& services);

}  // namespace shields
