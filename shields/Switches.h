#pragma once
// The shield switches: one setting each, on when its text is exactly "1".
// kSwitchTable is the one list of them; the tray menu, the "Configure
// Shields" dialog, the settings loader and `bxcli shields status` all walk
// it. A new switch is one row here plus one field in ShieldSwitches.
#include <span>
#include <string>
#include <string_view>

#include "settings/SettingsStore.h"

namespace shields {

// The runtime flags of the switches. `shieldsActive` has no setting of its
// own: it is on when any shield is, and the global tray item turns it off.
struct ShieldSwitches {
    bool shieldsActive = false;      // `ShieldsActive`
    bool homePage = false;           // "ghmpg"
    bool hijack = false;             // "iehj"
    bool favorites = false;          // "gfv"
    bool hosts = false;              // "hsts"
    bool realTime = false;           // "rltime"
    bool cookie = false;             // "cokieshld"
    bool startup = false;            // "strupshld"
    bool hideNotifications = false;  // "hnt"

    bool operator==(const ShieldSwitches&) const = default;
    // Any shield's own switch on ("hnt" is not a shield).
    bool AnyShieldOn() const;
};

struct SwitchInfo {
    const char* setting;
    bool ShieldSwitches::*flag;
    // Counts towards `ShieldsActive` (every shield; not "hnt").
    bool shield;
    int trayCommand;
    // The check box of "Configure Shields"; 0 for none.
    int configureControl;
    // What `bxcli shields status` and the tray call it.
    const char* label;
};

std::span<const SwitchInfo> SwitchTable();
// The row of a tray command or a setting; null when there is none.
const SwitchInfo* FindSwitchByCommand(int trayCommand);
const SwitchInfo* FindSwitch(std::string_view setting);

// The switches as the settings hold them; `ShieldsActive` on when any shield
// is.
ShieldSwitches ReadShieldSwitches(const settings::SettingsStore& settings);

// What a tray command did.
struct SwitchChange {
    bool handled = false;
    // The switches that changed, before and after.
    ShieldSwitches before;
    ShieldSwitches after;
    // Not empty: the tray's new tooltip.
    std::string tooltip;
};

// A shield item of the tray menu: flips its switch and writes its setting.
// Turning one on turns `ShieldsActive` on. Turning one off leaves
// `ShieldsActive` on while another shield stays on, so that switching one
// shield off never silences the others. The global item turns the home
// page, hijack and favorites shields and `ShieldsActive` together on or off
// and changes the tooltip; "hnt" leaves `ShieldsActive` alone.
SwitchChange ApplyTrayToggle(int command, ShieldSwitches& switches,
                             settings::SettingsStore& settings);

}  // namespace shields
