// "Current List of items ignored" and "Ignored Cookies", driven in-process.
#include <gtest/gtest.h>

#include "app/dialogs/IgnoredCookies.h"
#include "app/win32/dialogs/DialogIds.h"
#include "app/win32/dialogs/IgnoreListDialog.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "refdb/IgnoreList.h"
#include "refdb/Scramble.h"

namespace {

using namespace dialogtest;

class IgnoreListDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Entries "Foo" and "Baz" are ignored; "Bar" is not.
        machine.WriteFile(machine.folder() + "\\iglist.lst", refdb::Scrambled("Foo,Baz"));
        std::string markup =
            "<BX TOTAL=\"3\"><SW NAME=\"Foo\"><DESCRIPTION>Foo toolbar</DESCRIPTION></SW>"
            "<SW NAME=\"Bar\"/><SW NAME=\"Baz\"><DESCRIPTION>Baz dialer</DESCRIPTION></SW></BX>";
        machine.WriteFile(machine.folder() + "\\ref.bx", refdb::Scrambled(markup));
        ASSERT_TRUE(machine.database().LoadReference(machine.folder() + "\\ref.bx"))
            << machine.database().LastError();
    }
    std::string ListFile() {
        return refdb::Scrambled(machine.ReadFile(machine.folder() + "\\iglist.lst"));
    }

    TestMachine machine;
    ScriptedPrompts prompts;
};

TEST_F(IgnoreListDialogTest, ListsIgnoredEntriesCheckedAndOkDropsUncheckedOnes) {
    app::CIgnoreListDialog dialog(machine.context(), nullptr);
    dialog.SetPrompts(prompts);
    ASSERT_TRUE(dialog.Create());
    HWND window = dialog.hwnd();
    ShowWindow(window, SW_SHOW);

    ASSERT_EQ(ListRows(window, IDC_BX_IGNORE_LIST), 2);
    EXPECT_EQ(ListText(window, IDC_BX_IGNORE_LIST, 0, 0), L"Foo");
    EXPECT_EQ(ListText(window, IDC_BX_IGNORE_LIST, 0, 1), L"Foo toolbar");
    EXPECT_EQ(ListText(window, IDC_BX_IGNORE_LIST, 1, 0), L"Baz");
    EXPECT_TRUE(ListChecked(window, IDC_BX_IGNORE_LIST, 0));
    EXPECT_TRUE(ListChecked(window, IDC_BX_IGNORE_LIST, 1));

    SetListChecked(window, IDC_BX_IGNORE_LIST, 0, false);
    Click(window, IDOK);
    EXPECT_EQ(dialog.hwnd(), nullptr);  // closed
    EXPECT_EQ(dialog.result(), IDOK);
    EXPECT_FALSE(machine.database().entries()[0].ignored);
    EXPECT_TRUE(machine.database().entries()[2].ignored);
    EXPECT_EQ(ListFile(), "Baz");
}

TEST_F(IgnoreListDialogTest, CancelKeepsTheListAndTheFlags) {
    app::CIgnoreListDialog dialog(machine.context(), nullptr);
    ASSERT_TRUE(dialog.Create());
    SetListChecked(dialog.hwnd(), IDC_BX_IGNORE_LIST, 0, false);
    SetListChecked(dialog.hwnd(), IDC_BX_IGNORE_LIST, 1, false);
    Click(dialog.hwnd(), IDCANCEL);
    EXPECT_EQ(dialog.result(), IDCANCEL);
    EXPECT_TRUE(machine.database().entries()[0].ignored);
    EXPECT_EQ(ListFile(), "Foo,Baz");
}

TEST_F(IgnoreListDialogTest, IgnoredCookiesOpensFromTheButtonAndEditsDecisions) {
    app::RegistryCookieDecisions decisions(machine.registry());
    decisions.Record("ads.example", app::kCookieBlock);
    decisions.Record("track.example", app::kCookieIgnore);
    decisions.Record("stats.example", app::kCookieBlock);

    app::CIgnoreListDialog dialog(machine.context(), nullptr);
    dialog.SetPrompts(prompts);
    ASSERT_TRUE(dialog.Create());
    ShowWindow(dialog.hwnd(), SW_SHOW);

    std::vector<std::wstring> statusBefore, statusAfter;
    WhenWindowAppears cookies(L"Ignored Cookies", [&](HWND window) {
        ASSERT_EQ(ListRows(window, IDC_BX_LIST), 3);
        for (int row = 0; row < 3; ++row)
            statusBefore.push_back(ListText(window, IDC_BX_LIST, row, 1));
        Screenshot(window, "ignored-cookies");
        // "Ignore Checked" on the first row.
        SetListChecked(window, IDC_BX_LIST, 0, true);
        Click(window, IDC_BX_IGNORE_CHECKED);
        for (int row = 0; row < 3; ++row)
            statusAfter.push_back(ListText(window, IDC_BX_LIST, row, 1));
        EXPECT_FALSE(ListChecked(window, IDC_BX_LIST, 0));  // refilled
        // "Remove Selected" on the third row closes the window.
        SetListChecked(window, IDC_BX_LIST, 2, true);
        Click(window, IDOK);
    });
    Click(dialog.hwnd(), IDC_BX_VIEW_COOKIES);  // modal: returns when it has closed
    ASSERT_TRUE(cookies.done());

    EXPECT_EQ(statusBefore,
              (std::vector<std::wstring>{L"Cookie Being Blocked", L"Cookie Being Ignored",
                                         L"Cookie Being Blocked"}));
    EXPECT_EQ(statusAfter[0], L"Cookie Being Ignored");
    EXPECT_TRUE(prompts.Saw("Selected Cookies Ignore"));
    EXPECT_TRUE(prompts.Saw("Selected Cookie Data Removed"));
    auto left = decisions.List();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].name, "ads.example");
    EXPECT_EQ(left[0].decision, app::kCookieIgnore);
    EXPECT_EQ(left[1].name, "track.example");
    // The ignore list window is still open.
    EXPECT_NE(dialog.hwnd(), nullptr);
}

}  // namespace
