#include "app/win32/dialogs/IgnoreListDialog.h"

#include "app/win32/dialogs/DialogIds.h"
#include "settings/Messages.h"

namespace app {

namespace {

constexpr DWORD kCheckListStyle = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;

}  // namespace

CIgnoredCookiesDialog::CIgnoredCookiesDialog(AppContext& context, HWND parent)
    : ui::CPromptingDialog(IDD_BX_IGNORED_COOKIES, parent),
      ownStore_(std::make_unique<RegistryCookieDecisions>(context.system.registry)),
      list_(*ownStore_) {}

CIgnoredCookiesDialog::CIgnoredCookiesDialog(CookieDecisionStore& store, HWND parent)
    : ui::CPromptingDialog(IDD_BX_IGNORED_COOKIES, parent), list_(store) {}

bool CIgnoredCookiesDialog::OnInitDialog() {
    view_.Attach(Item(IDC_BX_LIST));
    view_.AddExtendedStyle(kCheckListStyle);
    view_.InsertColumn(0, "CookieName", 150);
    view_.InsertColumn(1, "Status", 180);
    list_.Refill();
    ShowRows();
    return true;
}

void CIgnoredCookiesDialog::ShowRows() {
    view_.DeleteAll();
    for (const IgnoredCookiesList::Row& row : list_.rows()) {
        int index = view_.AppendRow(row.name);
        view_.SetCellText(index, 1, row.status);
        view_.SetChecked(index, row.checked);
    }
}

void CIgnoredCookiesDialog::ReadChecks() {
    auto& rows = list_.rows();
    for (int i = 0; i < view_.RowCount() && static_cast<std::size_t>(i) < rows.size(); ++i)
        rows[static_cast<std::size_t>(i)].checked = view_.IsChecked(i);
}

void CIgnoredCookiesDialog::Tell(std::string_view message) {
    prompts().Ask(message, kMessageCaption, removal::Buttons::kOk);
}

bool CIgnoredCookiesDialog::OnCommand(int id, int code) {
    if (id == IDC_BX_IGNORE_CHECKED || id == IDC_BX_BLOCK_CHECKED) {
        ReadChecks();
        std::string_view message =
            id == IDC_BX_IGNORE_CHECKED ? list_.IgnoreChecked() : list_.BlockChecked();
        ShowRows();
        Tell(message);
        return true;
    }
    return ui::CDialog::OnCommand(id, code);
}

void CIgnoredCookiesDialog::OnOK() {
    ReadChecks();
    Tell(list_.RemoveChecked());
    EndDialog(IDOK);
}

CIgnoreListDialog::CIgnoreListDialog(AppContext& context, HWND parent)
    : ui::CPromptingDialog(IDD_BX_IGNORE_LIST, parent),
      context_(context),
      editor_(context.system, context.database) {}

bool CIgnoreListDialog::OnInitDialog() {
    view_.Attach(Item(IDC_BX_IGNORE_LIST));
    view_.AddExtendedStyle(kCheckListStyle);
    view_.InsertColumn(0, "Name", 100);
    view_.InsertColumn(1, "Description", 400);
    const auto& rows = editor_.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        int index = view_.AppendRow(rows[i].entry->name, static_cast<LPARAM>(i));
        view_.SetCellText(index, 1, rows[i].entry->description);
        view_.SetChecked(index, rows[i].checked);
    }
    return true;
}

bool CIgnoreListDialog::OnCommand(int id, int code) {
    if (id == IDC_BX_VIEW_COOKIES) {
        std::unique_ptr<CIgnoredCookiesDialog> cookies =
            cookieDecisions_ != nullptr
                ? std::make_unique<CIgnoredCookiesDialog>(*cookieDecisions_, hwnd())
                : std::make_unique<CIgnoredCookiesDialog>(context_, hwnd());
        cookies->SetPrompts(prompts());
        cookies->DoModal();
        return true;
    }
    return ui::CDialog::OnCommand(id, code);
}

void CIgnoreListDialog::OnOK() {
    auto& rows = editor_.rows();
    for (int i = 0; i < view_.RowCount(); ++i) {
        auto index = static_cast<std::size_t>(view_.RowData(i));
        if (index < rows.size())
            rows[index].checked = view_.IsChecked(i);
    }
    // A list that cannot be written still changes what is ignored now; the
    // file is read again at the next load.
    editor_.Ok();
    EndDialog(IDOK);
}

}  // namespace app
