// "Configure Shields" driven in-process: the boxes and the home page come
// from the settings, OK writes them back, Cancel writes nothing.
#include <gtest/gtest.h>

#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "settings/SettingsStore.h"
#include "shields/win32/ConfigureShieldsDialog.h"
#include "shields/win32/ConfigureShieldsIds.h"

namespace {

using namespace dialogtest;

struct BoxOf {
    int id;
    const char* setting;
    const wchar_t* text;
};
constexpr BoxOf kBoxes[] = {
    {IDC_BX_SHIELD_HOME_PAGE, "ghmpg", L"IE Home Page Shield (Maintain following page)"},
    {IDC_BX_SHIELD_HIJACK, "iehj", L"IE Hijack Shields"},
    {IDC_BX_SHIELD_FAVORITES, "gfv", L"Protect IE Favorites"},
    {IDC_BX_SHIELD_HOSTS, "hsts", L"Hosts File Shield"},
    {IDC_BX_SHIELD_REAL_TIME, "rltime", L"Real Time Protection"},
    {IDC_BX_SHIELD_COOKIES, "cokieshld", L"Cookies Shields"},
    {IDC_BX_SHIELD_STARTUP, "strupshld", L"Startup Programs Shields"},
};

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

class ConfigureShieldsDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings::SettingsStore store(machine.system());
        store.WriteDefaultSettings();
        // Every other box ticked.
        bool on = true;
        for (const BoxOf& box : kBoxes) {
            store.SetSetting(box.setting, on ? "1" : "0");
            on = !on;
        }
        store.SetSetting("hmpg", "http://mine.example/");
    }
    TestMachine machine;
};

TEST_F(ConfigureShieldsDialogTest, OpensWithTheStoredSwitchesAndOkWritesTheBoxes) {
    shields::win32::CConfigureShieldsDialog dialog(machine.system(), nullptr);
    ASSERT_TRUE(dialog.Create());
    HWND window = dialog.hwnd();
    ShowWindow(window, SW_SHOW);
    EXPECT_EQ(TextOf(window), L"Configure Shields");
    bool on = true;
    for (const BoxOf& box : kBoxes) {
        EXPECT_EQ(TextOf(GetDlgItem(window, box.id)), box.text) << box.setting;
        EXPECT_EQ(dialog.IsChecked(box.id), on) << box.setting;
        on = !on;
    }
    EXPECT_EQ(dialog.ItemText(IDC_BX_SHIELD_HOME_PAGE_TEXT), "http://mine.example/");
    Screenshot(window, "configure-shields");

    for (const BoxOf& box : kBoxes)
        Click(window, box.id);
    dialog.SetItemText(IDC_BX_SHIELD_HOME_PAGE_TEXT, "http://typed.example/");
    SendMessageW(window, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog.result(), IDOK);
    on = false;
    for (const BoxOf& box : kBoxes) {
        EXPECT_EQ(machine.Setting(box.setting), on ? "1" : "0") << box.setting;
        on = !on;
    }
    // The home page box went off: the stored page stays.
    EXPECT_EQ(machine.Setting("hmpg"), "http://mine.example/");
}

TEST_F(ConfigureShieldsDialogTest, TheTypedPageIsStoredWithItsBoxAndCancelWritesNothing) {
    {
        shields::win32::CConfigureShieldsDialog dialog(machine.system(), nullptr);
        ASSERT_TRUE(dialog.Create());
        dialog.SetItemText(IDC_BX_SHIELD_HOME_PAGE_TEXT, "http://typed.example/");
        Click(dialog.hwnd(), IDC_BX_SHIELD_STARTUP);
        SendMessageW(dialog.hwnd(), WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(dialog.result(), IDCANCEL);
        EXPECT_EQ(machine.Setting("hmpg"), "http://mine.example/");
        EXPECT_EQ(machine.Setting("strupshld"), "1");
    }
    shields::win32::CConfigureShieldsDialog dialog(machine.system(), nullptr);
    ASSERT_TRUE(dialog.Create());
    dialog.SetItemText(IDC_BX_SHIELD_HOME_PAGE_TEXT, "http://typed.example/");
    SendMessageW(dialog.hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(machine.Setting("ghmpg"), "1");
    EXPECT_EQ(machine.Setting("hmpg"), "http://typed.example/");
}

}  // namespace
