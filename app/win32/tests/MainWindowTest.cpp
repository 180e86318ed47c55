// The real main window, made in-process over the real registry and files of
// the test prefix, with a Reference file of its own that names traces the
// test plants under a private registry key and temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/ScanSettings.h"
#include "app/Startup.h"
#include "app/win32/MainDialog.h"
#include "app/win32/SmallDialogs.h"
#include "app/win32/res/MainIds.h"
#include "app/win32/tests/GuiTestSupport.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32System.h"
#include "refdb/Scramble.h"
#include "registry/RegistryHelper.h"
#include "settings/Messages.h"
#include "settings/Strings.h"
#include "ui/Screenshot.h"

namespace {

using guitest::ListRow;
using guitest::ReadList;
namespace ids = app::main_dialog;

constexpr const char* kTestKey = "Software\\BxGuiTest";

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        folder_ = platform::win32::Narrow(temp) + "BxGui" + std::to_string(GetCurrentProcessId());
        files().CreateDirectory(folder_);
        files().CreateDirectory(folder_ + "\\Alpha");
        files().WriteFile(folder_ + "\\Alpha\\alpha.exe", "alpha");
        files().WriteFile(folder_ + "\\beta.dll", "beta");
        CRegistryHelper registry(platform_.registry);
        registry.SetString(platform::kHkeyCurrentUser, std::string(kTestKey) + "\\Alpha", "Id",
                           "7");
        registry.SetString(platform::kHkeyCurrentUser, std::string(kTestKey) + "\\Beta", "", "");
        registry.SetString(platform::kHkeyCurrentUser, kTestKey, "Gamma", "on");

        const std::string markup = R"(<?xml version="1.0"?>
<BX TOTAL="3">
<SW NAME="Gui Alpha">
  <DIRECTORIES><DIR NAME="Alpha" PATH=")" +
                                   folder_ + R"(" /></DIRECTORIES>
  <FILES><FILE NAME="alpha.exe" PATH=")" +
                                   folder_ + R"(\Alpha" /></FILES>
  <REGISTRY>
    <KEYS><REGKEY MAIN="HKEY_CURRENT_USER" SUB="Software\BxGuiTest" VALUE="Alpha" /></KEYS>
    <VALUES><REGVALUE MAIN="HKEY_CURRENT_USER" SUB="Software\BxGuiTest\Alpha" VALUE="Id" /></VALUES>
  </REGISTRY>
  <DANGER_LEVEL>2</DANGER_LEVEL>
  <DESCRIPTION>Alpha records keystrokes.</DESCRIPTION>
</SW>
<SW NAME="Gui Beta">
  <FILES><FILE NAME="beta.dll" PATH=")" +
                                   folder_ + R"(" /></FILES>
  <REGISTRY><KEYS><REGKEY MAIN="HKEY_CURRENT_USER" SUB="Software\BxGuiTest" VALUE="Beta" /></KEYS></REGISTRY>
  <DANGER_LEVEL>1</DANGER_LEVEL>
  <DESCRIPTION>Beta shows popups.</DESCRIPTION>
</SW>
<SW NAME="Gui Gamma">
  <REGISTRY><VALUE_DATA><VALUE MAIN="HKEY_CURRENT_USER" SUB="Software\BxGuiTest" VALUE="Gamma" VALUE_DATA="on" FIX=":Delete:" /></VALUE_DATA></REGISTRY>
  <DANGER_LEVEL>0</DANGER_LEVEL>
</SW>
</BX>
)";
        referencePath_ = folder_ + "\\gui.bx";
        files().WriteFile(referencePath_, refdb::Scrambled(markup));

        // No update check at start, the smart scan, no backup question, no
        // scan log, no schedule.
        settings_.SetText("rfp", referencePath_);
        settings_.SetText("acu", "0");
        settings_.SetText("abrs", "0");
        settings_.SetText("scnlg", "0");
        settings_.SetText("Schedule Scan", "0");
        settings_.SetText("nowarn", "0");
        settings_.SetDword("scantype", 1);
        // No shield unless a test turns one on.
        for (const char* name :
             {"ghmpg", "iehj", "gfv", "hsts", "rltime", "cokieshld", "strupshld", "hnt"})
            settings_.SetText(name, "0");
        prompts_.Answer(app::kReferenceDamagedQuestion, removal::Answer::kNo);
    }

    void TearDown() override {
        window_.reset();
        guitest::PumpPending();
        CRegistryHelper(platform_.registry).DeleteKeyTree(platform::kHkeyCurrentUser, kTestKey);
        for (const char* name : {"\\Alpha\\alpha.exe", "\\beta.dll", "\\gui.bx"})
            files().DeleteFile(folder_ + name);
        files().RemoveDirectory(folder_ + "\\Alpha");
        files().RemoveDirectory(folder_);
    }

    platform::FileSystem& files() { return platform_.files; }

    // Makes the window modeless, shown, with the Reference file loaded.
    void Open(app::LaunchOptions options = {}) {
        window_ = std::make_unique<app::CMainDialog>(context_, options, prompts_, prompts_);
        window_->SetMinimizeNotice(notice_);
        ASSERT_TRUE(window_->Create());
        ShowWindow(window_->hwnd(), SW_SHOW);
        guitest::PumpPending();
    }

    HWND Item(int id) const { return GetDlgItem(window_->hwnd(), id); }
    HWND List() const { return Item(ids::kResultsList); }

    void ScanAndWait() {
        prompts_.Clear();
        SendMessageW(Item(ids::kScanMyPcButton), BM_CLICK, 0, 0);
        ASSERT_TRUE(guitest::PumpUntil([&] {
            return prompts_.WasAsked(app::kScanComplete) || prompts_.WasAsked(app::kScanAborted);
        })) << "the scan did not finish";
    }

    bool RegistryKeyExists(const std::string& path) {
        return CRegistryHelper(platform_.registry)
                   .OpenKey(platform::kHkeyCurrentUser, path, platform::kKeyQueryValue)
                   .get() != platform::kNullKey;
    }

    platform::win32::Win32System platform_;
    refdb::ReferenceDatabase database_{platform_.system};
    scan::ResultRows rows_;
    app::AppContext context_{platform_.system, database_, rows_,
                             platform_.processes.ModuleFileName()};
    guitest::ScriptedPrompts prompts_;
    guitest::ScriptedNotice notice_;
    guitest::SettingsOverride settings_{platform_.system};
    std::unique_ptr<app::CMainDialog> window_;
    std::string folder_;
    std::string referencePath_;
};

TEST_F(MainWindowTest, StartsWithTitleColumnsAndIdleButtons) {
    Open();
    EXPECT_EQ(guitest::WindowText(window_->hwnd()), "Brindlex v5.0");
    EXPECT_EQ(database_.entries().size(), 3u);
    const char* titles[] = {"Item", "Location", "Type", "Danger"};
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(guitest::ColumnTitle(List(), column), titles[column]);
    // 15/64, 25/64 and 10/64 of the width less 2; "Danger" takes the rest.
    app::ColumnWidths widths = app::ComputeColumnWidths(window_->list().ClientWidth());
    EXPECT_EQ(guitest::ColumnWidth(List(), 0), widths.item);
    EXPECT_EQ(guitest::ColumnWidth(List(), 3), widths.danger);
    EXPECT_GT(widths.location, widths.item);
    for (int id :
         {ids::kItemsScannedValue, ids::kRegistryValue, ids::kCookiesValue, ids::kFilesValue})
        EXPECT_EQ(guitest::WindowText(Item(id)), "0");
    EXPECT_FALSE(IsWindowVisible(Item(ids::kMemoryValue)));
    for (int id : {ids::kScanMyPcButton, ids::kScanFilesButton, ids::kStopScanButton,
                   ids::kUpdateButton, ids::kRemoveButton})
        EXPECT_TRUE(IsWindowEnabled(Item(id))) << id;
    // The system menu carries the About item.
    HMENU systemMenu = GetSystemMenu(window_->hwnd(), FALSE);
    EXPECT_NE(GetMenuState(systemMenu, app::commands::kSystemMenuAbout, MF_BYCOMMAND),
              static_cast<UINT>(-1));
    EXPECT_TRUE(ui::SaveWindowPng(window_->hwnd(), ui::ScreenshotPath("main_window_start")));
}

TEST_F(MainWindowTest, ScanFillsTheListAndTheCountersAddUp) {
    Open();
    ScanAndWait();
    std::vector<ListRow> rows = ReadList(List());
    std::set<std::string> lines;
    for (const ListRow& row : rows) {
        lines.insert(row.ConsoleLine());
        EXPECT_TRUE(row.checked) << row.location;
    }
    const std::string f = folder_;
    const std::set<std::string> expected = {
        "Directory\tSevere\tGui Alpha\t" + f + "\\Alpha",
        "File\tSevere\tGui Alpha\t" + f + "\\Alpha\\alpha.exe",
        "RegKey\tSevere\tGui Alpha\tHKEY_CURRENT_USER\\Software\\BxGuiTest\\Alpha",
        "RegValue\tSevere\tGui Alpha\tHKEY_CURRENT_USER\\Software\\BxGuiTest\\Alpha\\Id",
        "File\tDangerous\tGui Beta\t" + f + "\\beta.dll",
        "RegKey\tDangerous\tGui Beta\tHKEY_CURRENT_USER\\Software\\BxGuiTest\\Beta",
        "RegValueData\tNot Critical\tGui Gamma\tHKEY_CURRENT_USER\\Software\\BxGuiTest "
        "(Value : Gamma) (Data : on)",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(rows.size(), expected.size());
    // The rows of the list are the rows of the context, in the same order.
    ASSERT_EQ(rows_.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows_.rows()[i].location, rows[i].location);

    // Registry = keys + values + value data; Files = files + directories.
    EXPECT_EQ(guitest::WindowText(Item(ids::kRegistryValue)), "4");
    EXPECT_EQ(guitest::WindowText(Item(ids::kFilesValue)), "3");
    EXPECT_EQ(guitest::WindowText(Item(ids::kCookiesValue)), "0");
    EXPECT_GT(std::stoi(guitest::WindowText(Item(ids::kItemsScannedValue))), 0);
    EXPECT_EQ(guitest::WindowText(Item(ids::kStatusLine)), "Scan Complete");

    // "Scan Complete", then the removal question with the row count,
    // answered No: everything stays.
    ASSERT_GE(prompts_.asked().size(), 2u);
    EXPECT_EQ(prompts_.asked()[0].text, "Scan Complete");
    EXPECT_EQ(prompts_.asked()[0].caption, "Brindlex");
    EXPECT_EQ(prompts_.asked()[1].text,
              "Brindlex Detected 7 Threats, Do you want Brindlex to Delete all Detected Threats?");
    EXPECT_EQ(prompts_.asked()[1].buttons, removal::Buttons::kYesNo);
    EXPECT_TRUE(files().Exists(f + "\\beta.dll"));
    EXPECT_TRUE(IsWindowEnabled(Item(ids::kRemoveButton)));

    // Selecting a row shows its program's description.
    LVITEMW select{};
    select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    select.state = LVIS_SELECTED | LVIS_FOCUSED;
    const auto beta = std::find_if(rows.begin(), rows.end(),
                                   [](const ListRow& row) { return row.item == "Gui Beta"; });
    ASSERT_NE(beta, rows.end());
    SendMessageW(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(beta - rows.begin()),
                 reinterpret_cast<LPARAM>(&select));
    EXPECT_EQ(guitest::WindowText(Item(ids::kDescription)), "Beta shows popups.");
    EXPECT_TRUE(ui::SaveWindowPng(window_->hwnd(), ui::ScreenshotPath("main_window_scan")));
}

TEST_F(MainWindowTest, UncheckedRelatedRowsSurviveRemoval) {
    Open();
    ScanAndWait();
    std::vector<ListRow> rows = ReadList(List());
    const auto alpha = std::find_if(rows.begin(), rows.end(),
                                    [](const ListRow& row) { return row.item == "Gui Alpha"; });
    ASSERT_NE(alpha, rows.end());
    const int alphaRow = static_cast<int>(alpha - rows.begin());
    SendMessageW(List(), LVM_SETSELECTIONMARK, 0, alphaRow);
    SendMessageW(window_->hwnd(), WM_COMMAND, app::commands::kUncheckRelated, 0);
    for (const ListRow& row : ReadList(List()))
        EXPECT_EQ(row.checked, row.item != "Gui Alpha") << row.location;

    prompts_.Clear();
    SendMessageW(Item(ids::kRemoveButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(prompts_.WasAsked(removal::kRemovedMessage));
    EXPECT_EQ(SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_TRUE(rows_.empty());
    // Alpha's four traces are all still there; Beta's and Gamma's are gone.
    EXPECT_TRUE(files().Exists(folder_ + "\\Alpha\\alpha.exe"));
    EXPECT_TRUE(RegistryKeyExists(std::string(kTestKey) + "\\Alpha"));
    EXPECT_EQ(CRegistryHelper(platform_.registry)
                  .QueryString(platform::kHkeyCurrentUser, std::string(kTestKey) + "\\Alpha", "Id",
                               "missing"),
              "7");
    EXPECT_FALSE(files().Exists(folder_ + "\\beta.dll"));
    EXPECT_FALSE(RegistryKeyExists(std::string(kTestKey) + "\\Beta"));
    EXPECT_EQ(CRegistryHelper(platform_.registry)
                  .QueryString(platform::kHkeyCurrentUser, kTestKey, "Gamma", "missing"),
              "missing");
}

TEST_F(MainWindowTest, RightClickCommandsActOnTheSelectionMark) {
    Open();
    ScanAndWait();
    std::vector<ListRow> rows = ReadList(List());
    const auto beta = std::find_if(rows.begin(), rows.end(),
                                   [](const ListRow& row) { return row.item == "Gui Beta"; });
    ASSERT_NE(beta, rows.end());
    SendMessageW(List(), LVM_SETSELECTIONMARK, 0, beta - rows.begin());
    SendMessageW(window_->hwnd(), WM_COMMAND, app::commands::kUncheckRelated, 0);
    SendMessageW(window_->hwnd(), WM_COMMAND, app::commands::kCheckRelated, 0);
    for (const ListRow& row : ReadList(List()))
        EXPECT_TRUE(row.checked) << row.location;
    // A click on a check box reaches the rows the removal reads.
    LVITEMW uncheck{};
    uncheck.stateMask = LVIS_STATEIMAGEMASK;
    uncheck.state = INDEXTOSTATEIMAGEMASK(1);
    SendMessageW(List(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&uncheck));
    EXPECT_FALSE(rows_.rows()[0].checked);
    EXPECT_TRUE(rows_.rows()[1].checked);
}

TEST_F(MainWindowTest, ScanAtStartRunsWithoutTheFullScanNotice) {
    settings_.SetDword("scantype", 0);
    app::LaunchOptions options;
    options.scanAtStart = true;
    // A full scan of this prefix is not wanted here: the first progress
    // report stops it, which must then read "Scan Aborted".
    Open(options);
    ASSERT_TRUE(guitest::PumpUntil([&] { return window_->IsScanning(); }, std::chrono::seconds(10)))
        << "timer 2002 did not start the scan";
    EXPECT_FALSE(IsWindowEnabled(Item(ids::kScanMyPcButton)));
    EXPECT_TRUE(IsWindowEnabled(Item(ids::kStopScanButton)));
    prompts_.Answer(app::kStopScanQuestion, removal::Answer::kYes);
    SendMessageW(Item(ids::kStopScanButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(guitest::PumpUntil([&] { return prompts_.WasAsked(app::kScanAborted); }));
    EXPECT_FALSE(prompts_.WasAsked(app::kFullScanNotice));
    EXPECT_EQ(guitest::WindowText(Item(ids::kStatusLine)), "Scan Aborted");
    EXPECT_TRUE(IsWindowEnabled(Item(ids::kScanMyPcButton)));
}

TEST_F(MainWindowTest, CloseEndsTheProgramWithoutShieldsOrSchedule) {
    Open();
    HWND window = window_->hwnd();
    SendMessageW(window, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(notice_.shown, 0);
}

TEST_F(MainWindowTest, TrayShieldItemsFlipTheirSettings) {
    settings_.SetText("cokieshld", "1");
    Open();
    settings::SettingsStore store(platform_.system);
    std::string value;
    SendMessageW(window_->hwnd(), WM_COMMAND, app::commands::kTrayCookieShield, 0);
    ASSERT_TRUE(store.GetSetting("cokieshld", &value));
    EXPECT_EQ(value, "0");
    // The last shield going off turned the global switch off: the global
    // item now turns the browser shields on.
    SendMessageW(window_->hwnd(), WM_COMMAND, app::commands::kTrayAllShields, 0);
    for (const char* name : {"ghmpg", "iehj", "gfv"}) {
        ASSERT_TRUE(store.GetSetting(name, &value)) << name;
        EXPECT_EQ(value, "1") << name;
    }
    EXPECT_TRUE(IsWindow(window_->hwnd()));
}

TEST_F(MainWindowTest, CloseWithAScheduleAsksTheNoticeAndGoesToTheTray) {
    settings_.SetText("Schedule Scan", "1");
    Open();
    ASSERT_NE(window_->tray(), nullptr) << "no tray icon";
    // Cancelled: the window stays; the ticked box is remembered all the same.
    notice_.answer = {false, true};
    SendMessageW(window_->hwnd(), WM_COMMAND, app::commands::kFileExit, 0);
    EXPECT_EQ(notice_.shown, 1);
    EXPECT_TRUE(IsWindowVisible(window_->hwnd()));
    EXPECT_EQ(settings::SettingsStore(platform_.system).IsOn("nowarn"), true);
    // With "nowarn" the window goes to the tray at once.
    SendMessageW(window_->hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(notice_.shown, 1);
    EXPECT_FALSE(IsWindowVisible(window_->hwnd()));
    EXPECT_TRUE(window_->tray()->IconShown());
    // In the tray the cancel path does nothing; "Open Brindlex" comes back.
    SendMessageW(window_->hwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindow(window_->hwnd()));
    SendMessageW(window_->hwnd(), WM_COMMAND, app::commands::kTrayOpen, 0);
    EXPECT_TRUE(IsWindowVisible(window_->hwnd()));
    EXPECT_FALSE(window_->tray()->IconShown());
}

TEST_F(MainWindowTest, MissingReferenceFileAndNoRepairEndsTheProgram) {
    settings_.SetText("rfp", folder_ + "\\missing.bx");
    // No download, and the preferences cancelled at once by the window.
    prompts_.Answer(app::kReferenceDamagedQuestion, removal::Answer::kNo);
    window_ =
        std::make_unique<app::CMainDialog>(context_, app::LaunchOptions{}, prompts_, prompts_);
    // The preferences dialog is modal inside the start-up; a timer on this
    // thread cancels whatever dialog is in front.
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND preferences = GetActiveWindow();
        if (preferences != nullptr)
            PostMessageW(preferences, WM_COMMAND, IDCANCEL, 0);
    });
    const bool created = window_->Create();
    KillTimer(nullptr, timer);
    EXPECT_TRUE(!created || !IsWindow(window_->hwnd()));
    EXPECT_TRUE(prompts_.WasAsked(app::kReferenceDamagedQuestion));
    EXPECT_TRUE(prompts_.WasAsked(app::kNoReferenceClosing));
}

}  // namespace

namespace {

TEST_F(MainWindowTest, ScanSettingsDialogShowsAndWritesTheThreeOptions) {
    settings_.SetDword("sbfolders", 1);
    settings_.SetDword("zipfiles", 0);
    app::CScanSettingsDialog dialog(context_, nullptr);
    ASSERT_TRUE(dialog.Create());
    namespace s = app::scan_settings_dialog;
    EXPECT_TRUE(dialog.IsChecked(s::kSmartScanRadio));
    EXPECT_FALSE(dialog.IsChecked(s::kFullScanRadio));
    EXPECT_TRUE(dialog.IsChecked(s::kSubfoldersCheck));
    EXPECT_FALSE(dialog.IsChecked(s::kZipFilesCheck));
    EXPECT_EQ(dialog.ItemText(s::kWarningText), s::kWarning);

    SendMessageW(dialog.Item(s::kFullScanRadio), BM_CLICK, 0, 0);
    SendMessageW(dialog.Item(s::kZipFilesCheck), BM_CLICK, 0, 0);
    SendMessageW(dialog.hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog.result(), IDOK);
    settings::SettingsStore store(platform_.system);
    EXPECT_EQ(store.GetDword("scantype"), 0u);
    EXPECT_EQ(store.GetDword("sbfolders"), 1u);
    EXPECT_EQ(store.GetDword("zipfiles"), 1u);
}

}  // namespace

namespace {

// The string table carries the texts the portable code uses; the two must
// not drift apart.
TEST(StringTableTest, EntriesMatchThePortableTexts) {
    namespace s = settings::strings;
    const std::pair<int, const char*> entries[] = {
        {s::kIdsAboutBox, s::kAboutMenuText},
        {s::kIdsDefaultReferenceFile, s::kDefaultReferenceFile},
        {s::kIdsUpdatePageAddress, s::kUpdatePageAddress},
        {s::kIdsMinimizeNotice, s::kMinimizeNotice},
        {s::kIdsScheduledExitQuestion, s::kScheduledExitQuestion},
        {s::kIdsShieldsExitQuestion, s::kShieldsExitQuestion},
        {s::kIdsReferenceNotFound, s::kReferenceNotFoundQuestion},
        {s::kIdsSettingsKey, s::kSettingsKey},
        {s::kIdsSettingsKeyName, s::kSettingsKeyName},
    };
    for (const auto& [id, text] : entries) {
        const wchar_t* loaded = nullptr;
        const int length = LoadStringW(GetModuleHandleW(nullptr), static_cast<UINT>(id),
                                       reinterpret_cast<LPWSTR>(&loaded), 0);
        ASSERT_GT(length, 0) << "entry " << id;
        EXPECT_EQ(platform::win32::Narrow(std::wstring_view(loaded, length)), text)
            << "entry " << id;
    }
}

}  // namespace

namespace {

TEST(AboutBoxTest, NamesTheProgramAndLinksTheHelp) {
    app::CAboutDialog about(nullptr);
    ASSERT_TRUE(about.Create());
    ShowWindow(about.hwnd(), SW_SHOW);
    // The label keeps its markup as the window text; the link its caption.
    EXPECT_NE(about.ItemText(IDC_BX_ABOUT_TEXT).find("Brindlex v5.0"), std::string::npos);
    EXPECT_EQ(about.ItemText(IDC_BX_ABOUT_LINK), "Online help");
    guitest::PumpPending();
    EXPECT_TRUE(ui::SaveWindowPng(about.hwnd(), ui::ScreenshotPath("about_box")));
    about.EndDialog(IDOK);
}

}  // namespace
