#include "schedule/win32/ScheduleDialog.h"

#include "platform/win32/WideText.h"
#include "schedule/ArmSchedule.h"
#include "schedule/ScanTime.h"
#include "schedule/win32/ScheduleIds.h"

namespace schedule {

using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

constexpr int kDayBox[7] = {IDC_BX_SCHED_SUNDAY,    IDC_BX_SCHED_MONDAY,   IDC_BX_SCHED_TUESDAY,
                            IDC_BX_SCHED_WEDNESDAY, IDC_BX_SCHED_THURSDAY, IDC_BX_SCHED_FRIDAY,
                            IDC_BX_SCHED_SATURDAY};

}  // namespace

CScheduleDialog::CScheduleDialog(platform::System& system, HWND parent)
    : ui::CPromptingDialog(IDD_BX_SCHEDULE, parent), system_(system) {}

bool CScheduleDialog::OnInitDialog() {
    for (const char* period : kPeriodChoices)
        SendMessageW(Item(IDC_BX_SCHED_PERIOD), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Widen(period).c_str()));
    for (const char* time : kTimeChoices)
        SendMessageW(Item(IDC_BX_SCHED_TIME), CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Widen(time).c_str()));
    ShowForm(LoadScheduleForm(settings::SettingsStore(system_)));
    UpdateControls();
    return true;
}

std::string CScheduleDialog::ComboText(int id) const {
    HWND combo = Item(id);
    const auto index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return {};
    const auto length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return Narrow(text);
}

void CScheduleDialog::SelectComboText(int id, const std::string& text) {
    HWND combo = Item(id);
    const auto index = text.empty()
                           ? CB_ERR
                           : SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(Widen(text).c_str()));
    SendMessageW(combo, CB_SETCURSEL, index == CB_ERR ? static_cast<WPARAM>(-1) : index, 0);
}

ScheduleForm CScheduleDialog::ReadForm() const {
    ScheduleForm form;
    form.scheduled = IsChecked(IDC_BX_SCHED_ENABLED);
    if (IsChecked(IDC_BX_SCHED_PERIODIC))
        form.kind = ScheduleForm::Kind::kPeriodic;
    else if (IsChecked(IDC_BX_SCHED_DAY_OF_WEEK))
        form.kind = ScheduleForm::Kind::kDayOfWeek;
    for (std::size_t day = 0; day < form.days.size(); ++day)
        form.days[day] = IsChecked(kDayBox[day]);
    form.period = ComboText(IDC_BX_SCHED_PERIOD);
    form.time = ComboText(IDC_BX_SCHED_TIME);
    return form;
}

void CScheduleDialog::ShowForm(const ScheduleForm& form) {
    SetChecked(IDC_BX_SCHED_ENABLED, form.scheduled);
    SetChecked(IDC_BX_SCHED_PERIODIC, form.kind == ScheduleForm::Kind::kPeriodic);
    SetChecked(IDC_BX_SCHED_DAY_OF_WEEK, form.kind == ScheduleForm::Kind::kDayOfWeek);
    for (std::size_t day = 0; day < form.days.size(); ++day)
        SetChecked(kDayBox[day], form.days[day]);
    SelectComboText(IDC_BX_SCHED_PERIOD, form.period);
    SelectComboText(IDC_BX_SCHED_TIME, form.time);
}

void CScheduleDialog::UpdateControls() {
    const ScheduleControls controls = ControlStates(ReadForm());
    EnableItem(IDC_BX_SCHED_DAY_OF_WEEK, controls.kinds);
    EnableItem(IDC_BX_SCHED_PERIODIC, controls.kinds);
    for (int box : kDayBox)
        EnableItem(box, controls.days);
    EnableItem(IDC_BX_SCHED_PERIOD, controls.period);
    EnableItem(IDC_BX_SCHED_TIME, controls.time);
}

bool CScheduleDialog::OnCommand(int id, int code) {
    switch (id) {
        case IDC_BX_SCHED_ENABLED:
        case IDC_BX_SCHED_DAY_OF_WEEK:
        case IDC_BX_SCHED_PERIODIC:
            if (code == BN_CLICKED)
                UpdateControls();
            return true;
        default:
            return ui::CDialog::OnCommand(id, code);
    }
}

void CScheduleDialog::OnOK() {
    settings::SettingsStore store(system_);
    const ScheduleSaved saved =
        SaveScheduleForm(ReadForm(), store, system_.clock, system_.clock.Now());
    if (!saved.close) {
        prompts().Ask(saved.message, kMessageCaption, removal::Buttons::kOk);
        if (saved.focusTime)
            SetFocus(Item(IDC_BX_SCHED_TIME));
        return;
    }
    nextScan = saved.nextScan;
    EndDialog(IDOK);
}

}  // namespace schedule
