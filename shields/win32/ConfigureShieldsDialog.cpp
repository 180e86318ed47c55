#include "shields/win32/ConfigureShieldsDialog.h"

#include "settings/SettingsStore.h"
#include "shields/ConfigureShields.h"
#include "shields/win32/ConfigureShieldsIds.h"

namespace shields::win32 {

CConfigureShieldsDialog::CConfigureShieldsDialog(platform::System& system, HWND parent)
    : ui::CDialog(IDD_BX_CONFIGURE_SHIELDS, parent), system_(system) {}

bool CConfigureShieldsDialog::OnInitDialog() {
    const ConfigureShieldsForm form = LoadConfigureShieldsForm(settings::SettingsStore(system_));
    for (const ConfigureShieldsForm::Box& box : form.boxes)
        SetChecked(box.row->configureControl, box.ticked);
    SetItemText(IDC_BX_SHIELD_HOME_PAGE_TEXT, form.homePage);
    return true;
}

void CConfigureShieldsDialog::OnOK() {
    settings::SettingsStore store(system_);
    ConfigureShieldsForm form = LoadConfigureShieldsForm(store);
    for (ConfigureShieldsForm::Box& box : form.boxes)
        box.ticked = IsChecked(box.row->configureControl);
    form.homePage = ItemText(IDC_BX_SHIELD_HOME_PAGE_TEXT);
    SaveConfigureShieldsForm(form, store);
    EndDialog(IDOK);
}

}  // namespace shields::win32
