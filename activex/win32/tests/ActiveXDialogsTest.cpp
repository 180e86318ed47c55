// "ActiveX Shields" and "ActiveX Controls", driven in-process: over a test
// machine's registry held in memory (with the 32-bit view of a 64-bit
// Windows), and, for the end-to-end script, over the real registry of the
// test prefix one step at a time.
#include <gtest/gtest.h>

#include <cstdlib>

#include "activex/win32/ActiveXDialogs.h"
#include "activex/win32/ActiveXIds.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32System.h"
#include "refdb/Scramble.h"
#include "registry/RegistryHelper.h"
#include "settings/SettingsStore.h"

namespace {

using namespace dialogtest;
using platform::kHkeyLocalMachine;

constexpr const char* kA = "{0897A877-6588-4E0B-A8F7-70394D4E755B}";
constexpr const char* kB = "{83B3E4F9-01E2-42ED-9318-DE17B0BD1115}";
constexpr const char* kC = "{24E285FE-C4B2-49E4-A81D-7090F0F4EE02}";
constexpr const char* kKey32 =
    "Software\\Wow6432Node\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\";

std::string ColumnTitle(HWND list, int column) {
    wchar_t text[128] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT | LVCF_WIDTH;
    info.pszText = text;
    info.cchTextMax = 128;
    SendMessageW(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&info));
    return platform::win32::Narrow(text) + " " + std::to_string(info.cx);
}

class ActiveXDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A 64-bit machine: the 32-bit view is a key of its own.
        helper.OpenOrCreateKey(kHkeyLocalMachine, "Software\\Wow6432Node");
        const std::string markup = std::string("<BX TOTAL=\"0\"><ActiveX><CLSID Key=\"") + kA +
                                   "\"/><CLSID Key=\"" + kB + "\"/><CLSID Key=\"" + kC +
                                   "\"/></ActiveX></BX>";
        machine.WriteFile(machine.folder() + "\\ref.bx", refdb::Scrambled(markup));
        ASSERT_TRUE(machine.database().LoadReference(machine.folder() + "\\ref.bx"));
        machine.WriteFile(machine.folder() + "\\xblk.bx",
                          std::string("<Brindlex><Adware Name=\"Alpha Bar\"><CLSID Key=\"") + kA +
                              "\"/><CLSID Key=\"" + kB +
                              "\"/></Adware><Adware NAME=\"Gamma\"><CLSID Key=\"" + kC +
                              "\"/></Adware><Adware Name=\"Empty\"/></Brindlex>");
    }

    std::uint32_t Value(const std::string& id, const char* name, bool view32 = false) {
        const std::string key =
            (view32 ? std::string(kKey32) : std::string(activex::kCompatibilityKey) + "\\") + id;
        return helper.QueryDword(kHkeyLocalMachine, key, name, 0xDEAD);
    }

    // Opens "ActiveX Shields" modeless.
    void OpenShields(activex::CActiveXShieldsDialog& dialog) {
        dialog.SetPrompts(prompts);
        ASSERT_TRUE(dialog.Create());
        ShowWindow(dialog.hwnd(), SW_SHOW);
    }

    TestMachine machine;
    ScriptedPrompts prompts;
    CRegistryHelper helper{machine.registry()};
};

TEST_F(ActiveXDialogsTest, ShieldsShowTheChoiceTheCountAndTheExplanation) {
    settings::SettingsStore(machine.system()).SetSetting("acbl", "1");
    activex::CActiveXShieldsDialog dialog(machine.system(), machine.database().classIds(), nullptr);
    OpenShields(dialog);
    HWND window = dialog.hwnd();
    EXPECT_EQ(dialog.ItemText(IDC_BX_AX_COUNT), "Currently Protecting Against <b>3</b> items");
    EXPECT_EQ(dialog.ItemText(IDC_BX_AX_EXPLANATION), activex::ExplanationText());
    EXPECT_TRUE(dialog.IsChecked(IDC_BX_AX_ENABLE));
    EXPECT_FALSE(dialog.IsChecked(IDC_BX_AX_DISABLE));
    EXPECT_TRUE(IsWindowVisible(dialog.Item(IDC_BX_AX_CUSTOMIZE)));
    Screenshot(window, "activex-shields");
    Click(window, IDCANCEL);
    EXPECT_EQ(Value(kA, activex::kFlagsValue), 0xDEADu);
}

TEST_F(ActiveXDialogsTest, EnableSetsEveryViewAndSaysSoOnlyTheFirstTime) {
    for (int pass = 0; pass < 2; ++pass) {
        activex::CActiveXShieldsDialog dialog(machine.system(), machine.database().classIds(),
                                              nullptr);
        OpenShields(dialog);
        EXPECT_EQ(dialog.IsChecked(IDC_BX_AX_ENABLE), pass == 1);
        Click(dialog.hwnd(), IDC_BX_AX_ENABLE);
        Click(dialog.hwnd(), IDOK);
        EXPECT_EQ(dialog.result(), IDOK);
    }
    EXPECT_EQ(prompts.asked().size(), 1u);
    EXPECT_TRUE(prompts.Saw(activex::kProtectionEnabled));
    EXPECT_EQ(machine.Setting("acbl"), "1");
    for (const char* id : {kA, kB, kC}) {
        EXPECT_EQ(Value(id, activex::kFlagsValue), 0x400u) << id;
        EXPECT_EQ(Value(id, activex::kFlagsValue, true), 0x400u) << id;
    }
}

TEST_F(ActiveXDialogsTest, DisableClearsEveryViewQuietly) {
    settings::SettingsStore(machine.system()).SetSetting("acbl", "1");
    helper.SetDword(kHkeyLocalMachine, std::string(kKey32) + kB, activex::kFlagsValue, 0x400);
    activex::CActiveXShieldsDialog dialog(machine.system(), machine.database().classIds(), nullptr);
    OpenShields(dialog);
    Click(dialog.hwnd(), IDC_BX_AX_DISABLE);
    Click(dialog.hwnd(), IDOK);
    EXPECT_TRUE(prompts.asked().empty());
    EXPECT_EQ(machine.Setting("acbl"), "0");
    for (const char* id : {kA, kB, kC}) {
        EXPECT_EQ(Value(id, activex::kFlagsValue), 0u) << id;
        EXPECT_EQ(Value(id, activex::kFlagsValue, true), 0u) << id;
    }
}

TEST_F(ActiveXDialogsTest, ControlsOpenFromCustomizeAndExemptTheCheckedPrograms) {
    helper.SetDword(kHkeyLocalMachine, std::string(activex::kCompatibilityKey) + "\\" + kC,
                    activex::kSystemSetValue, 11);
    activex::CActiveXShieldsDialog dialog(machine.system(), machine.database().classIds(), nullptr);
    OpenShields(dialog);
    Click(dialog.hwnd(), IDC_BX_AX_ENABLE);
    Click(dialog.hwnd(), IDOK);
    ASSERT_EQ(Value(kA, activex::kFlagsValue), 0x400u);

    activex::CActiveXShieldsDialog again(machine.system(), machine.database().classIds(), nullptr);
    OpenShields(again);
    bool seen = false;
    WhenWindowAppears controls(L"ActiveX Controls", [&](HWND window) {
        seen = true;
        HWND list = GetDlgItem(window, IDC_BX_AX_LIST);
        EXPECT_EQ(ColumnTitle(list, 0), "Item Name 300");
        EXPECT_EQ(ColumnTitle(list, 1), "Number of CLSIDs 150");
        ASSERT_EQ(ListRows(window, IDC_BX_AX_LIST), 3);
        EXPECT_EQ(ListText(window, IDC_BX_AX_LIST, 0, 0), L"Alpha Bar");
        EXPECT_EQ(ListText(window, IDC_BX_AX_LIST, 0, 1), L"2");
        EXPECT_EQ(ListText(window, IDC_BX_AX_LIST, 1, 0), L"Gamma");
        EXPECT_EQ(ListText(window, IDC_BX_AX_LIST, 2, 1), L"0");
        EXPECT_FALSE(ListChecked(window, IDC_BX_AX_LIST, 0));
        EXPECT_TRUE(ListChecked(window, IDC_BX_AX_LIST, 1));
        EXPECT_FALSE(ListChecked(window, IDC_BX_AX_LIST, 2));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_BX_AX_PROBLEM)));
        SetListChecked(window, IDC_BX_AX_LIST, 0, true);
        SetListChecked(window, IDC_BX_AX_LIST, 1, false);
        Screenshot(window, "activex-controls");
        Click(window, IDOK);
    });
    Click(again.hwnd(), IDC_BX_AX_CUSTOMIZE);
    EXPECT_TRUE(seen);
    Click(again.hwnd(), IDCANCEL);

    // Alpha Bar's bits are cleared at once in both views and marked; Gamma's
    // mark is lifted, its bit stays cleared until the next Enable.
    for (const char* id : {kA, kB}) {
        for (bool view32 : {false, true}) {
            EXPECT_EQ(Value(id, activex::kFlagsValue, view32), 0u) << id << view32;
            EXPECT_EQ(Value(id, activex::kSystemSetValue, view32), 11u) << id << view32;
        }
    }
    EXPECT_EQ(Value(kC, activex::kSystemSetValue), 0u);
    EXPECT_NE(Value(kC, activex::kFlagsValue), 0x400u);
}

TEST_F(ActiveXDialogsTest, ControlsSayWhyTheListIsEmpty) {
    machine.WriteFile(machine.folder() + "\\xblk.bx", "<Brindlex><Adware Name=\"A\">");
    activex::CActiveXControlsDialog dialog(machine.system(), nullptr);
    dialog.SetPrompts(prompts);
    ASSERT_TRUE(dialog.Create());
    ShowWindow(dialog.hwnd(), SW_SHOW);
    EXPECT_EQ(ListRows(dialog.hwnd(), IDC_BX_AX_LIST), 0);
    EXPECT_TRUE(IsWindowVisible(dialog.Item(IDC_BX_AX_PROBLEM)));
    EXPECT_EQ(dialog.ItemText(IDC_BX_AX_PROBLEM), dialog.controls().problem());
    EXPECT_NE(dialog.ItemText(IDC_BX_AX_PROBLEM).find("lists no programs: it does not parse"),
              std::string::npos);
    Screenshot(dialog.hwnd(), "activex-controls-damaged");
    Click(dialog.hwnd(), IDOK);
    EXPECT_TRUE(prompts.asked().empty());
}

// The steps of tests/e2e/gui_activex.sh, over the real registry of its
// prefix and the shipped Reference file and block list beside the program.
// The script checks the registry with reg.exe between them.
class RealRegistryStep : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* step = std::getenv("BX_ACTIVEX_STEP");
        if (step == nullptr ||
            std::string(step) != ::testing::UnitTest::GetInstance()->current_test_info()->name()) {
            GTEST_SKIP() << "run by tests/e2e/gui_activex.sh";
        }
        settings::SettingsStore store(platform_.system);
        std::string reference;
        ASSERT_TRUE(store.GetSetting("rfp", &reference));
        ASSERT_TRUE(database_.LoadReference(reference)) << database_.LastError();
    }

    // Runs "ActiveX Shields" modally; `act` works it once it shows.
    void RunShields(const std::function<void(HWND)>& act) {
        activex::CActiveXShieldsDialog dialog(platform_.system, database_.classIds(), nullptr);
        dialog.SetPrompts(prompts_);
        bool seen = false;
        WhenWindowAppears shields(L"ActiveX Shields", [&](HWND window) {
            seen = true;
            act(window);
        });
        dialog.DoModal();
        EXPECT_TRUE(seen);
    }

    platform::win32::Win32System platform_;
    refdb::ReferenceDatabase database_{platform_.system};
    ScriptedPrompts prompts_;
};

TEST_F(RealRegistryStep, Enable) {
    RunShields([](HWND window) {
        Click(window, IDC_BX_AX_ENABLE);
        Screenshot(window, "activex-shields-enable");
        Click(window, IDOK);
    });
    EXPECT_TRUE(prompts_.Saw(activex::kProtectionEnabled));
}

TEST_F(RealRegistryStep, Exempt) {
    const char* program = std::getenv("BX_ACTIVEX_PROGRAM");
    ASSERT_NE(program, nullptr);
    RunShields([&](HWND window) {
        bool exempted = false;
        WhenWindowAppears controls(L"ActiveX Controls", [&](HWND list) {
            for (int row = 0; row < ListRows(list, IDC_BX_AX_LIST); ++row) {
                if (ListText(list, IDC_BX_AX_LIST, row, 0) == platform::win32::Widen(program)) {
                    SetListChecked(list, IDC_BX_AX_LIST, row, true);
                    exempted = true;
                }
            }
            Screenshot(list, "activex-controls-exempt");
            Click(list, IDOK);
        });
        Click(window, IDC_BX_AX_CUSTOMIZE);
        EXPECT_TRUE(exempted) << program;
        Click(window, IDCANCEL);
    });
}

TEST_F(RealRegistryStep, Disable) {
    RunShields([](HWND window) {
        Click(window, IDC_BX_AX_DISABLE);
        Click(window, IDOK);
    });
    EXPECT_TRUE(prompts_.asked().empty());
}

}  // namespace
