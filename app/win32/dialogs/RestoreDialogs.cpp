#include "app/win32/dialogs/RestoreDialogs.h"

#include <utility>

#include "app/dialogs/DialogTexts.h"
#include "app/win32/dialogs/DialogIds.h"
#include "settings/Messages.h"

namespace app {

CBackupItemsDialog::CBackupItemsDialog(AppContext& context, HWND parent, std::string scratchFolder,
                                       std::vector<removal::BackupItem> items)
    : ui::CPromptingDialog(IDD_BX_BACKUP_ITEMS, parent),
      context_(context),
      scratchFolder_(std::move(scratchFolder)),
      items_(std::move(items)) {}

bool CBackupItemsDialog::OnInitDialog() {
    view_.Attach(Item(IDC_BX_LIST));
    view_.AddExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    view_.InsertColumn(0, "Type", 80);
    view_.InsertColumn(1, "Name", 100);
    view_.InsertColumn(2, "Path", 250);
    for (std::size_t i = 0; i < items_.size(); ++i) {
        int row = view_.AppendRow(items_[i].kind, static_cast<LPARAM>(i));
        view_.SetCellText(row, 1, items_[i].name);
        view_.SetCellText(row, 2, items_[i].path);
        view_.SetChecked(row, false);
    }
    return true;
}

void CBackupItemsDialog::OnOK() {
    std::vector<removal::BackupItem> checked;
    for (int row = 0; row < view_.RowCount(); ++row) {
        auto index = static_cast<std::size_t>(view_.RowData(row));
        if (view_.IsChecked(row) && index < items_.size())
            checked.push_back(items_[index]);
    }
    restored_ = removal::RestoreItems(context_.system, scratchFolder_, checked);
    prompts().Ask(removal::RestoreResultMessage(restored_), kMessageCaption, removal::Buttons::kOk);
    EndDialog(IDOK);
}

CSelectBackupDialog::CSelectBackupDialog(AppContext& context, HWND parent)
    : ui::CPromptingDialog(IDD_BX_SELECT_BACKUP, parent), context_(context) {}

bool CSelectBackupDialog::OnInitDialog() {
    view_.Attach(Item(IDC_BX_LIST));
    view_.AddExtendedStyle(LVS_EX_FULLROWSELECT);
    view_.InsertColumn(0, texts::kBackupDatesColumn, 400);
    archives_ = removal::ListBackups(context_.system);
    platform::Clock& clock = context_.system.clock;
    for (std::size_t i = 0; i < archives_.size(); ++i) {
        const platform::LocalTime& date = archives_[i].date;
        view_.AppendRow(removal::BackupRowText(clock.DateText(date), clock.TimeText(date)),
                        static_cast<LPARAM>(i));
    }
    return true;
}

bool CSelectBackupDialog::OnCommand(int id, int code) {
    if (id == IDC_BX_DELETE_BACKUP) {
        DeleteSelected();
        return true;
    }
    return ui::CDialog::OnCommand(id, code);
}

void CSelectBackupDialog::DeleteSelected() {
    int row = view_.Selected();
    if (row < 0) {
        prompts().Ask(texts::kSelectBackupFirst, kMessageCaption, removal::Buttons::kOk);
        SetFocus(view_.hwnd());
        return;
    }
    if (prompts().Ask(texts::kConfirmDeleteBackup, kMessageCaption, removal::Buttons::kYesNo) !=
        removal::Answer::kYes) {
        return;
    }
    auto index = static_cast<std::size_t>(view_.RowData(row));
    // A backup that cannot be deleted simply stays listed.
    if (index < archives_.size() &&
        removal::DeleteBackup(context_.system, archives_[index].fileName)) {
        view_.DeleteRow(row);
        InvalidateRect(view_.hwnd(), nullptr, TRUE);
    }
}

void CSelectBackupDialog::OnOK() {
    int row = view_.Selected();
    if (row < 0)
        return;
    auto index = static_cast<std::size_t>(view_.RowData(row));
    if (index >= archives_.size())
        return;
    removal::UnpackResult unpacked =
        removal::UnpackBackup(context_.system, archives_[index].fileName);
    if (!unpacked.manifestRead) {
        // The scratch folder stays; the next "Next" overwrites it.
        prompts().Ask(texts::kManifestUnreadable, kMessageCaption, removal::Buttons::kOk);
        return;
    }
    CBackupItemsDialog items(context_, hwnd(), unpacked.scratchFolder, std::move(unpacked.items));
    items.SetPrompts(prompts());
    INT_PTR answer = items.DoModal();
    removal::RemoveFolderTree(context_.system.files, unpacked.scratchFolder);
    if (answer == IDOK)
        EndDialog(IDOK);
}

}  // namespace app
