#include "activex/win32/ActiveXDialogs.h"

#include "activex/win32/ActiveXIds.h"

namespace activex {

namespace {

constexpr DWORD kCheckListStyle = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
constexpr COLORREF kProblemColour = RGB(0xC0, 0, 0);

}  // namespace

CActiveXControlsDialog::CActiveXControlsDialog(platform::System& system, HWND parent)
    : ui::CPromptingDialog(IDD_BX_ACTIVEX_CONTROLS, parent), controls_(system) {}

bool CActiveXControlsDialog::OnInitDialog() {
    SetItemText(IDC_BX_AX_HINT, kBlockListHint);
    view_.Attach(Item(IDC_BX_AX_LIST));
    view_.AddExtendedStyle(kCheckListStyle);
    view_.InsertColumn(0, "Item Name", 300);
    view_.InsertColumn(1, "Number of CLSIDs", 150);
    controls_.Open();
    const auto& rows = controls_.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int index = view_.AppendRow(rows[i].item.name, static_cast<LPARAM>(i));
        view_.SetCellText(index, 1, std::to_string(rows[i].item.classIds.size()));
        view_.SetChecked(index, rows[i].checked);
    }
    SetItemText(IDC_BX_AX_PROBLEM, controls_.problem());
    ShowItem(IDC_BX_AX_PROBLEM, !controls_.problem().empty());
    return true;
}

void CActiveXControlsDialog::OnOK() {
    auto& rows = controls_.rows();
    for (int i = 0; i < view_.RowCount(); ++i) {
        const auto index = static_cast<std::size_t>(view_.RowData(i));
        if (index < rows.size())
            rows[index].checked = view_.IsChecked(i);
    }
    const std::string message = controls_.Ok();
    if (!message.empty())
        prompts().Ask(message, kMessageCaption, removal::Buttons::kOk);
    EndDialog(IDOK);
}

bool CActiveXControlsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                       LRESULT& result) {
    if (message != WM_CTLCOLORSTATIC || reinterpret_cast<HWND>(lParam) != Item(IDC_BX_AX_PROBLEM))
        return false;
    auto dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, kProblemColour);
    SetBkMode(dc, TRANSPARENT);
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
}

CActiveXShieldsDialog::CActiveXShieldsDialog(platform::System& system,
                                             const std::vector<std::string>& classIds, HWND parent)
    : ui::CPromptingDialog(IDD_BX_ACTIVEX_SHIELDS, parent),
      system_(system),
      shields_(system, classIds) {}

bool CActiveXShieldsDialog::OnInitDialog() {
    const bool on = shields_.ProtectionOn();
    SetChecked(IDC_BX_AX_ENABLE, on);
    SetChecked(IDC_BX_AX_DISABLE, !on);
    count_.Attach(Item(IDC_BX_AX_COUNT));
    count_.SetText(CountLabel(shields_.count()));
    SetItemText(IDC_BX_AX_EXPLANATION, ExplanationText());
    return true;
}

bool CActiveXShieldsDialog::OnCommand(int id, int code) {
    if (id == IDC_BX_AX_CUSTOMIZE) {
        CActiveXControlsDialog controls(system_, hwnd());
        controls.SetPrompts(prompts());
        controls.DoModal();
        return true;
    }
    return ui::CDialog::OnCommand(id, code);
}

void CActiveXShieldsDialog::OnOK() {
    const bool enable = IsChecked(IDC_BX_AX_ENABLE);
    const KillBitPass pass = enable ? shields_.Enable() : shields_.Disable();
    const std::string message = shields_.OkMessage(enable, pass);
    if (!message.empty())
        prompts().Ask(message, kMessageCaption, removal::Buttons::kOk);
    EndDialog(IDOK);
}

}  // namespace activex
