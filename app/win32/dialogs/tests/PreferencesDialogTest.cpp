// "Brindlex v5.0 Preferences": the linked start-up boxes, OK's checks and
// what OK writes.
#include <gtest/gtest.h>

#include "app/win32/dialogs/DialogIds.h"
#include "app/win32/dialogs/PreferencesDialog.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "platform/win32/WideText.h"
#include "registry/RegistryHelper.h"
#include "settings/Strings.h"

namespace {

using namespace dialogtest;

class PreferencesDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        logs = machine.folder() + "\\logs";
        reference = machine.folder() + "\\brindlex4_010907.bx";
        machine.WriteFile(logs + "\\keep.txt", "");
        machine.WriteFile(reference, "ref");
        settings::SettingsStore settings(machine.system());
        settings.SetSetting("lfp", logs);
        settings.SetSetting("rfp", reference);
        settings.SetSetting("ras", "0");
        settings.SetSetting("sas", "0");
        settings.SetSetting("abrs", "1");
        settings.SetSetting("mtst", "1");
        dialog.SetPrompts(prompts);
        ASSERT_TRUE(dialog.Create());
        window = dialog.hwnd();
        ShowWindow(window, SW_SHOW);
    }
    std::string RunEntry() {
        return CRegistryHelper(machine.registry())
            .QueryString(platform::kHkeyCurrentUser, settings::strings::kRunKey, "Brindlex5",
                         "<absent>");
    }
    bool Checked(int id) {
        return SendDlgItemMessageW(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }

    TestMachine machine;
    ScriptedPrompts prompts;
    app::CPreferencesDialog dialog{machine.context(), nullptr};
    HWND window = nullptr;
    std::string logs;
    std::string reference;
};

TEST_F(PreferencesDialogTest, ShowsTheSettings) {
    wchar_t text[MAX_PATH] = {};
    GetDlgItemTextW(window, IDC_BX_PREF_LOG_FOLDER, text, MAX_PATH);
    EXPECT_EQ(platform::win32::Narrow(text), logs);
    GetDlgItemTextW(window, IDC_BX_PREF_REFERENCE, text, MAX_PATH);
    EXPECT_EQ(platform::win32::Narrow(text), reference);
    EXPECT_TRUE(Checked(IDC_BX_PREF_CONFIRM));
    EXPECT_FALSE(Checked(IDC_BX_PREF_RUN));
    EXPECT_FALSE(Checked(IDC_BX_PREF_SCAN));
    Screenshot(window, "preferences-dialog");
}

TEST_F(PreferencesDialogTest, TickingOnlyScanAtStartupWritesTheScanRunEntry) {
    Click(window, IDC_BX_PREF_SCAN);
    EXPECT_TRUE(Checked(IDC_BX_PREF_RUN));  // linked
    Click(window, IDOK);
    ASSERT_EQ(dialog.hwnd(), nullptr);
    EXPECT_EQ(dialog.result(), IDOK);
    EXPECT_EQ(RunEntry(), "\"" + machine.exePath() + "\" :Scan:");
    EXPECT_EQ(machine.Setting("ras"), "1");
    EXPECT_EQ(machine.Setting("sas"), "1");
    EXPECT_EQ(machine.Setting("abrs"), "1");
    EXPECT_EQ(machine.Setting("mtst"), "1");  // no control: written back as read
    EXPECT_EQ(machine.Setting("lfp"), logs);
    EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(PreferencesDialogTest, UntickingRunRemovesTheEntryAndUnticksScan) {
    CRegistryHelper(machine.registry())
        .SetString(platform::kHkeyCurrentUser, settings::strings::kRunKey, "Brindlex5", "old");
    Click(window, IDC_BX_PREF_SCAN);
    Click(window, IDC_BX_PREF_RUN);  // off again: scan follows
    EXPECT_FALSE(Checked(IDC_BX_PREF_SCAN));
    Click(window, IDC_BX_PREF_CONFIRM);
    Click(window, IDOK);
    EXPECT_EQ(RunEntry(), "<absent>");
    EXPECT_EQ(machine.Setting("ras"), "0");
    EXPECT_EQ(machine.Setting("sas"), "0");
    EXPECT_EQ(machine.Setting("abrs"), "0");
}

TEST_F(PreferencesDialogTest, AMissingLogFolderIsOfferedAndNoKeepsTheDialogOpen) {
    std::string missing = machine.folder() + "\\newlogs";
    SetDlgItemTextW(window, IDC_BX_PREF_LOG_FOLDER, platform::win32::Widen(missing).c_str());
    prompts.Answer({false, true});
    Click(window, IDOK);  // No
    EXPECT_NE(dialog.hwnd(), nullptr);
    EXPECT_EQ(machine.Setting("lfp"), logs);
    Click(window, IDOK);  // Yes: created, saved, closed
    EXPECT_EQ(dialog.hwnd(), nullptr);
    EXPECT_TRUE(machine.FileExists(missing));
    EXPECT_EQ(machine.Setting("lfp"), missing);
    EXPECT_TRUE(prompts.Saw("Log file path does not Exist. Create folder?"));
}

TEST_F(PreferencesDialogTest, CancelWritesNothing) {
    Click(window, IDC_BX_PREF_SCAN);
    Click(window, IDCANCEL);
    EXPECT_EQ(dialog.result(), IDCANCEL);
    EXPECT_EQ(machine.Setting("sas"), "0");
    EXPECT_EQ(RunEntry(), "<absent>");
}

}  // namespace
