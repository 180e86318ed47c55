// "Select Backup " and "Items in Backup" over an archive that the backup of
// the removal wrote.
#include <gtest/gtest.h>

#include "app/win32/dialogs/DialogIds.h"
#include "app/win32/dialogs/RestoreDialogs.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "removal/Backup.h"

namespace {

using namespace dialogtest;

class RestoreDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        victim = machine.folder() + "\\apps\\tool.exe";
        machine.WriteFile(victim, "precious bytes");
        refdb::SpywareEntry entry;
        entry.name = "FalseAlarm";
        entry.detected = true;
        refdb::FileItem file;
        file.name = "tool.exe";
        file.path = machine.folder() + "\\apps";
        file.detected = true;
        entry.files.push_back(file);
        machine.database().entries().push_back(entry);
        removal::BackupOptions options;
        options.archivePath = &archive;
        ASSERT_TRUE(removal::CreateBackup(machine.system(), machine.database(), options));
        ASSERT_TRUE(machine.FileExists(archive));
        // Not a backup: too short a name.
        machine.WriteFile(machine.folder() + "\\BrindlexBackup\\backup.zip", "x");
    }

    TestMachine machine;
    ScriptedPrompts prompts;
    std::string victim;
    std::string archive;
};

TEST_F(RestoreDialogsTest, NextUnpacksTheBackupAndRestoreSelectedBringsTheFileBack) {
    ASSERT_EQ(DeleteFileW(std::wstring(victim.begin(), victim.end()).c_str()), TRUE);

    std::wstring backupRow;
    std::vector<std::wstring> itemRow;
    bool itemCheckedAtStart = true;
    WhenWindowAppears select(L"Select Backup ", [&](HWND window) {
        ASSERT_EQ(ListRows(window, IDC_BX_LIST), 1);
        backupRow = ListText(window, IDC_BX_LIST, 0, 0);
        Screenshot(window, "select-backup");
        SelectListRow(window, IDC_BX_LIST, 0);
        Click(window, IDOK);  // "Next": runs "Items in Backup" modally
    });
    WhenWindowAppears items(L"Items in Backup", [&](HWND window) {
        ASSERT_EQ(ListRows(window, IDC_BX_LIST), 1);
        for (int column = 0; column < 3; ++column)
            itemRow.push_back(ListText(window, IDC_BX_LIST, 0, column));
        itemCheckedAtStart = ListChecked(window, IDC_BX_LIST, 0);
        SetListChecked(window, IDC_BX_LIST, 0, true);
        Click(window, IDOK);  // "Restore Selected"
    });

    app::CSelectBackupDialog dialog(machine.context(), nullptr);
    dialog.SetPrompts(prompts);
    EXPECT_EQ(dialog.DoModal(), IDOK);  // a restore closes both windows
    ASSERT_TRUE(select.done());
    ASSERT_TRUE(items.done());

    EXPECT_EQ(backupRow.rfind(L"Backup on ", 0), 0u) << backupRow.c_str();
    EXPECT_NE(backupRow.find(L" - "), std::wstring::npos);
    std::wstring folder(machine.folder().begin(), machine.folder().end());
    EXPECT_EQ(itemRow, (std::vector<std::wstring>{L"FILE", L"tool.exe", folder + L"\\apps"}));
    EXPECT_FALSE(itemCheckedAtStart);
    EXPECT_TRUE(prompts.Saw("Selected Items Restored"));
    ASSERT_TRUE(machine.FileExists(victim));
    EXPECT_EQ(machine.ReadFile(victim), "precious bytes");
    // The scratch folder is gone; the archive stays.
    EXPECT_FALSE(machine.FileExists(machine.folder() + "\\BrindlexBackup\\Temp"));
    EXPECT_TRUE(machine.FileExists(archive));
}

TEST_F(RestoreDialogsTest, DeleteAsksForARowThenForConfirmation) {
    app::CSelectBackupDialog dialog(machine.context(), nullptr);
    dialog.SetPrompts(prompts);
    ASSERT_TRUE(dialog.Create());
    HWND window = dialog.hwnd();
    ASSERT_EQ(ListRows(window, IDC_BX_LIST), 1);

    Click(window, IDC_BX_DELETE_BACKUP);  // nothing selected
    EXPECT_TRUE(prompts.Saw("Select an item to delete"));

    SelectListRow(window, IDC_BX_LIST, 0);
    prompts.Answer({false, true});
    Click(window, IDC_BX_DELETE_BACKUP);  // No: kept
    EXPECT_TRUE(machine.FileExists(archive));
    EXPECT_EQ(ListRows(window, IDC_BX_LIST), 1);
    Click(window, IDC_BX_DELETE_BACKUP);  // Yes: gone
    EXPECT_FALSE(machine.FileExists(archive));
    EXPECT_EQ(ListRows(window, IDC_BX_LIST), 0);
    EXPECT_TRUE(
        prompts.Saw("Are you sure you want to delete this backup? You will not be able to "
                    "restore this backup once it is removed."));
    // "Next" without a row does nothing.
    Click(window, IDOK);
    EXPECT_NE(dialog.hwnd(), nullptr);
}

}  // namespace
