#include "shields/ConfigureShields.h"

namespace shields {

namespace {
constexpr std::string_view kHomePageSwitch = "ghmpg";
}  // namespace

ConfigureShieldsForm::Box* ConfigureShieldsForm::Find(std::string_view setting) {
    for (Box& box : boxes) {
        if (setting == box.row->setting)
            return &box;
    }
    return nullptr;
}

const ConfigureShieldsForm::Box* ConfigureShieldsForm::Find(std::string_view setting) const {
    return const_cast<ConfigureShieldsForm*>(this)->Find(setting);
}

ConfigureShieldsForm LoadConfigureShieldsForm(const settings::SettingsStore& store) {
    ConfigureShieldsForm form;
    for (const SwitchInfo& row : SwitchTable()) {
        if (row.configureControl == 0)
            continue;
        std::string value;
        form.boxes.push_back({&row, store.GetSetting(row.setting, &value) && value == "1"});
    }
    store.GetSetting("hmpg", &form.homePage);
    return form;
}

void SaveConfigureShieldsForm(const ConfigureShieldsForm& form, settings::SettingsStore& store) {
    if (const ConfigureShieldsForm::Box* home = form.Find(kHomePageSwitch)) {
        store.SetSetting(kHomePageSwitch, home->ticked ? "1" : "0");
        if (home->ticked)
            store.SetSetting("hmpg", form.homePage);
    }
    for (const ConfigureShieldsForm::Box& box : form.boxes) {
        if (box.row->setting != kHomePageSwitch)
            store.SetSetting(box.row->setting, box.ticked ? "1" : "0");
    }
}

}  // namespace shields
