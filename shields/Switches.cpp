#include "shields/Switches.h"

#include "settings/Messages.h"

namespace shields {

namespace {

namespace cmd = app::commands;
using S = ShieldSwitches;

// In the order of the tray menu.
constexpr SwitchInfo kSwitchTable[] = {
    {"ghmpg", &S::homePage, true, cmd::kTrayHomePageShield, 1070, "IE Home Page Shield"},
    {"iehj", &S::hijack, true, cmd::kTrayHijackShield, 1069, "IE Hijack Shield"},
    {"gfv", &S::favorites, true, cmd::kTrayFavoritesShield, 1068, "IE Favorites Shield"},
    {"hsts", &S::hosts, true, cmd::kTrayHostsShield, 1094, "Hosts File Shield"},
    {"rltime", &S::realTime, true, cmd::kTrayRealTime, 1095, "Real-Time Protection"},
    {"cokieshld", &S::cookie, true, cmd::kTrayCookieShield, 1007, "Cookie Shield"},
    {"strupshld", &S::startup, true, cmd::kTrayStartupShield, 1008, "Startup Shield"},
    {"hnt", &S::hideNotifications, false, cmd::kTrayHideNotifications, 0, "Hide Notifications"},
};

}  // namespace

bool ShieldSwitches::AnyShieldOn() const {
    for (const SwitchInfo& row : kSwitchTable) {
        if (row.shield && this->*row.flag)
            return true;
    }
    return false;
}

std::span<const SwitchInfo> SwitchTable() {
    return kSwitchTable;
}

const SwitchInfo* FindSwitchByCommand(int trayCommand) {
    for (const SwitchInfo& row : kSwitchTable) {
        if (row.trayCommand == trayCommand)
            return &row;
    }
    return nullptr;
}

const SwitchInfo* FindSwitch(std::string_view setting) {
    for (const SwitchInfo& row : kSwitchTable) {
        if (setting == row.setting)
            return &row;
    }
    return nullptr;
}

ShieldSwitches ReadShieldSwitches(const settings::SettingsStore& settings) {
    ShieldSwitches s;
    for (const SwitchInfo& row : kSwitchTable) {
        std::string value;
        s.*row.flag = settings.GetSetting(row.setting, &value) && value == "1";
    }
    s.shieldsActive = s.AnyShieldOn();
    return s;
}

SwitchChange ApplyTrayToggle(int command, ShieldSwitches& s, settings::SettingsStore& settings) {
    auto write = [&settings](const char* name, bool on) {
        settings.SetSetting(name, on ? "1" : "0");
    };
    SwitchChange change;
    change.before = s;
    if (command == cmd::kTrayAllShields) {
        const bool on = !s.shieldsActive;
        for (const char* name : {"ghmpg", "iehj", "gfv"})
            write(name, on);
        s.shieldsActive = s.homePage = s.hijack = s.favorites = on;
        change.tooltip = on ? "Brindlex 5.0" : "Brindlex Shields Disabled";
    } else if (const SwitchInfo* row = FindSwitchByCommand(command)) {
        const bool on = !(s.*row->flag);
        write(row->setting, on);
        s.*row->flag = on;
        if (row->shield)
            s.shieldsActive = on || (s.shieldsActive && s.AnyShieldOn());
    } else {
        return SwitchChange{};
    }
    change.handled = true;
    change.after = s;
    return change;
}

}  // namespace shields
