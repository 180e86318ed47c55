#pragma once
// What "Configure Shields" shows and writes: one box per shield switch (the
// switches of kSwitchTable that have a box), and the home page to maintain.
// The window in shields/win32/ only moves this form into its controls and
// back.
#include <string>
#include <vector>

#include "settings/SettingsStore.h"
#include "shields/Switches.h"

namespace shields {

struct ConfigureShieldsForm {
    struct Box {
        const SwitchInfo* row = nullptr;  // the switch, its setting and control id
        bool ticked = false;
    };
    // In the order of the switch table.
    std::vector<Box> boxes;
    std::string homePage;  // "hmpg"

    // The box of a setting; null when it has none.
    Box* Find(std::string_view setting);
    const Box* Find(std::string_view setting) const;
};

// Each box ticked when its setting is exactly "1"; the home page as stored.
ConfigureShieldsForm LoadConfigureShieldsForm(const settings::SettingsStore& store);

// OK: the home page switch first, with "hmpg" only while its box is ticked
// (an unticked box keeps the stored page), then every other switch as "1"
// or "0". The caller then reloads the shield settings.
void SaveConfigureShieldsForm(const ConfigureShieldsForm& form, settings::SettingsStore& store);

}  // namespace shields
