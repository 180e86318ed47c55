// The main window over the shipped Reference file and the traces that
// tests/e2e/gui_scan.sh plants in a fresh prefix. It runs only there
// (BX_GUI_ROWS_OUT names the file for the rows), so that the script can
// compare them with what bxcli.exe prints for the same prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>

#include "app/Startup.h"
#include "app/win32/MainDialog.h"
#include "app/win32/tests/GuiTestSupport.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32System.h"
#include "removal/Restore.h"
#include "settings/Messages.h"
#include "ui/Screenshot.h"

namespace {

using guitest::ListRow;
namespace ids = app::main_dialog;

TEST(PlantedTraces, SmartScanRowsCountersAndRemoval) {
    const char* out = std::getenv("BX_GUI_ROWS_OUT");
    if (out == nullptr)
        GTEST_SKIP() << "runs from tests/e2e/gui_scan.sh";

    platform::win32::Win32System windows;
    settings::SettingsStore settings(windows.system);
    app::PrepareLaunch(settings, "brindlex.exe");
    refdb::ReferenceDatabase database(windows.system);
    scan::ResultRows resultRows;
    app::AppContext context{windows.system, database, resultRows,
                            windows.processes.ModuleFileName()};
    guitest::ScriptedPrompts prompts;
    app::CMainDialog window(context, {}, prompts, prompts);
    ASSERT_TRUE(window.Create());
    ShowWindow(window.hwnd(), SW_SHOW);
    ASSERT_GT(database.entries().size(), 0u) << "the shipped Reference file did not load";

    SendMessageW(GetDlgItem(window.hwnd(), ids::kScanMyPcButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(guitest::PumpUntil([&] { return prompts.WasAsked(app::kScanComplete); },
                                   std::chrono::seconds(120)));
    std::vector<ListRow> rows = guitest::ReadList(window.list().hwnd());
    {
        std::ofstream file(out, std::ios::binary | std::ios::trunc);
        for (const ListRow& row : rows)
            file << row.ConsoleLine() << '\n';
    }
    EXPECT_TRUE(ui::SaveWindowPng(window.hwnd(), ui::ScreenshotPath("main_window_planted")));

    // The counters are the rows by type.
    std::map<std::string, int> byType;
    for (const ListRow& row : rows)
        ++byType[row.type];
    auto shown = [&](int id) { return guitest::WindowText(GetDlgItem(window.hwnd(), id)); };
    EXPECT_EQ(shown(ids::kRegistryValue),
              std::to_string(byType["RegKey"] + byType["RegValue"] + byType["RegValueData"]));
    EXPECT_EQ(shown(ids::kCookiesValue), std::to_string(byType["Cookie"]));
    EXPECT_EQ(shown(ids::kFilesValue), std::to_string(byType["File"] + byType["Directory"]));
    EXPECT_EQ(prompts.asked().back().text, app::RemovalQuestion(rows.size()));

    // Keep every trace of the program with the most rows; remove the rest.
    std::map<std::string, int> rowsOf;
    for (const ListRow& row : rows)
        ++rowsOf[row.item];
    const std::string kept =
        std::max_element(rowsOf.begin(), rowsOf.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        })->first;
    ASSERT_GE(rowsOf[kept], 2);
    const auto first = std::find_if(rows.begin(), rows.end(),
                                    [&](const ListRow& row) { return row.item == kept; });
    SendMessageW(window.list().hwnd(), LVM_SETSELECTIONMARK, 0, first - rows.begin());
    SendMessageW(window.hwnd(), WM_COMMAND, app::commands::kUncheckRelated, 0);
    for (const ListRow& row : guitest::ReadList(window.list().hwnd()))
        EXPECT_EQ(row.checked, row.item != kept) << row.location;

    // With "abrs" on, the backup is taken first; the log comes with the pass.
    prompts.Clear();
    prompts.Answer(removal::kBackupQuestion, removal::Answer::kYes);
    prompts.Answer(removal::kBackupDone, removal::Answer::kYes);
    const std::size_t backupsBefore = removal::ListBackups(windows.system).size();
    SendMessageW(GetDlgItem(window.hwnd(), ids::kRemoveButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(prompts.WasAsked(removal::kBackupQuestion));
    EXPECT_TRUE(prompts.WasAsked(removal::kBackupDone));
    EXPECT_TRUE(prompts.WasAsked(removal::kRemovedMessage));
    EXPECT_EQ(removal::ListBackups(windows.system).size(), backupsBefore + 1);
    std::string logFolder;
    ASSERT_TRUE(settings.GetSetting("lfp", &logFolder));
    auto logs = windows.files.Find(logFolder + "\\Date(*.txt");
    platform::FindData found;
    EXPECT_TRUE(logs && logs->Next(found)) << "no removal log in " << logFolder;
    EXPECT_EQ(window.list().GetItemCount(), 0);
    // Plain files (not archive members): the kept program's stay, the others
    // are gone.
    for (const ListRow& row : rows) {
        if ((row.type != "File" && row.type != "Cookie") ||
            row.location.find("->") != std::string::npos)
            continue;
        EXPECT_EQ(windows.files.Exists(row.location), row.item == kept) << row.location;
    }
    std::ofstream(std::string(out) + ".kept", std::ios::binary | std::ios::trunc) << kept << '\n';
    window.EndDialog(IDCANCEL);
}

}  // namespace
