#pragma once
// Restore Items: "Select Backup " lists the backup archives by date and can
// delete one; "Next" unpacks the chosen one and opens "Items in Backup",
// where the checked items are restored.
#include <string>
#include <vector>

#include "app/win32/AppContext.h"
#include "removal/Restore.h"
#include "ui/ListView.h"
#include "ui/PromptingDialog.h"

namespace app {

class CBackupItemsDialog : public ui::CPromptingDialog {
  public:
    CBackupItemsDialog(AppContext& context, HWND parent, std::string scratchFolder,
                       std::vector<removal::BackupItem> items);

    // How many items the last "Restore Selected" brought back.
    int restoredCount() const { return restored_; }

  protected:
    bool OnInitDialog() override;
    void OnOK() override;

  private:
    AppContext& context_;
    std::string scratchFolder_;
    std::vector<removal::BackupItem> items_;
    int restored_ = 0;
    ui::CListView view_;
};

class CSelectBackupDialog : public ui::CPromptingDialog {
  public:
    CSelectBackupDialog(AppContext& context, HWND parent);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;

  private:
    void DeleteSelected();

    AppContext& context_;
    // The archives as listed; each row's data is its index here.
    std::vector<removal::BackupArchive> archives_;
    ui::CListView view_;
};

}  // namespace app
