// The removal progress window running a real removal pass.
#include <gtest/gtest.h>

#include "app/win32/dialogs/DialogIds.h"
#include "app/win32/dialogs/RemovalDialog.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "removal/RemovalPass.h"
#include "settings/SettingsStore.h"

namespace {

using namespace dialogtest;

TEST(RemovalDialogTest, ShowsItselfThenRunsThePassAndClosesWithOk) {
    TestMachine machine;
    std::string bad = machine.folder() + "\\junk\\bad.exe";
    machine.WriteFile(bad, "MZ unwanted");
    refdb::SpywareEntry entry;
    entry.name = "JunkTool";
    entry.detected = true;
    refdb::FileItem file;
    file.name = "bad.exe";
    file.path = machine.folder() + "\\junk";
    file.detected = true;
    entry.files.push_back(file);
    machine.database().entries().push_back(entry);
    settings::SettingsStore(machine.system()).SetSetting("lfp", machine.folder() + "\\logs");

    bool visibleDuringPass = false;
    int positionAfterPass = -1;
    app::CRemovalDialog dialog(
        machine.context(), nullptr, 7, [&](removal::RemovalProgress& progress) {
            HWND window = FindThreadWindow(L"Removing items...");
            visibleDuringPass = window != nullptr;
            if (window != nullptr)
                Screenshot(window, "removal-dialog");
            bool restart =
                removal::RunRemovalPass(machine.system(), machine.database().entries(), &progress);
            positionAfterPass =
                static_cast<int>(SendDlgItemMessageW(window, IDC_BX_PROGRESS, PBM_GETPOS, 0, 0));
            return restart;
        });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_FALSE(dialog.restartNeeded());
    EXPECT_TRUE(visibleDuringPass);
    // One step per file record.
    EXPECT_EQ(positionAfterPass, 1);
    EXPECT_FALSE(machine.FileExists(bad));
}

TEST(RemovalDialogTest, APassThatLeavesFilesForRestartEndsWithCancel) {
    TestMachine machine;
    int steps = 0;
    app::CRemovalDialog dialog(machine.context(), nullptr, 3,
                               [&](removal::RemovalProgress& progress) {
                                   progress.Step();
                                   progress.Step();
                                   steps = 2;
                                   return true;
                               });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(dialog.restartNeeded());
    EXPECT_EQ(steps, 2);
}

}  // namespace
