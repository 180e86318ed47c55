#include "app/MainWindowModel.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "app/tests/ScriptedPrompts.h"
#include "platform/tests/support/TestSystem.h"
#include "refdb/Scramble.h"
#include "registry/RegistryHelper.h"
#include "settings/Messages.h"

namespace {

using app::CloseAction;
using refdb::ItemKind;
using removal::Answer;

TEST(MainWindowTablesTest, ColumnsShareTheListWidth) {
    // Each share rounds down; "Danger" takes the remainder.
    app::ColumnWidths odd = app::ComputeColumnWidths(300);
    EXPECT_EQ(odd.item, 69);
    EXPECT_EQ(odd.location, 116);
    EXPECT_EQ(odd.type, 46);
    EXPECT_EQ(odd.danger, 65);
}

TEST(RepaintThrottleTest, AtMostThirtyRepaintsASecondAndAlwaysTheLast) {
    app::RepaintThrottle throttle;
    int repaints = 0;
    for (std::uint64_t ms = 5000; ms < 6000; ++ms) {
        if (throttle.ShouldRepaint(ms))
            ++repaints;
    }
    EXPECT_EQ(repaints, 31);  // the first report, then one per 33 ms
    EXPECT_FALSE(throttle.ShouldRepaint(6000));
    EXPECT_TRUE(throttle.ShouldRepaint(6000, true));
    throttle.Reset();
    EXPECT_TRUE(throttle.ShouldRepaint(6001));
}

// Rows of real detections, as the scan thread reports them.
class ResultRowsFixture : public ::testing::Test {
  protected:
    refdb::SpywareEntry& Entry(const std::string& name) {
        refdb::SpywareEntry& entry = entries.emplace_back();
        entry.name = name;
        return entry;
    }
    void AddFile(refdb::SpywareEntry& entry, const std::string& name) {
        refdb::FileItem& file = entry.files.emplace_back();
        file.path = "C:\\Bad";
        file.name = name;
    }

    std::deque<refdb::SpywareEntry> entries;
    scan::ResultRows rows;
};

TEST_F(ResultRowsFixture, FilesCountFilesAndDirectories) {
    refdb::SpywareEntry& entry = Entry("Adware");
    AddFile(entry, "a.exe");
    entry.directories = {{"One", "C:\\Bad", false}, {"Two", "C:\\Bad", false}};
    entry.regKeys = {{platform::kHkeyCurrentUser, "Software\\Bad", false}};
    entry.regData.resize(1);
    rows.AddFile(entry, entry.files[0]);
    rows.AddDirectory(entry, entry.directories[0]);
    rows.AddDirectory(entry, entry.directories[1]);
    rows.AddRegKey(entry, entry.regKeys[0]);
    rows.AddRegData(entry, entry.regData[0]);

    app::CounterTexts texts = app::CounterTextsOf(rows);
    EXPECT_EQ(texts.files, "3");
    EXPECT_EQ(texts.registry, "2");
    EXPECT_EQ(texts.cookies, "0");
}

TEST_F(ResultRowsFixture, RelatedItemsAreCheckedByEntryNameIgnoringCase) {
    refdb::SpywareEntry& five = Entry("Toolbar");
    refdb::SpywareEntry& sameName = Entry("TOOLBAR");
    refdb::SpywareEntry& other = Entry("Dialer");
    for (int i = 0; i < 4; ++i)
        AddFile(five, "t" + std::to_string(i) + ".dll");
    AddFile(sameName, "t.exe");
    AddFile(other, "d.exe");
    for (refdb::FileItem& file : five.files)
        rows.AddFile(five, file);
    rows.AddFile(other, other.files[0]);
    rows.AddFile(sameName, sameName.files[0]);
    ASSERT_EQ(rows.size(), 6u);

    std::vector<std::size_t> changed = app::SetRelatedChecks(rows, 2, false);
    EXPECT_EQ(changed, (std::vector<std::size_t>{0, 1, 2, 3, 5}));
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows.rows()[i].checked, i == 4) << i;

    app::SetRelatedChecks(rows, 5, true);
    for (const scan::ResultRow& row : rows.rows())
        EXPECT_TRUE(row.checked);
    EXPECT_TRUE(app::SetRelatedChecks(rows, 6, false).empty());
}

class MainWindowModelTest : public ResultRowsFixture, public app::ScanStarter {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CRegistryHelper(host.registry())
                        .OpenOrCreateKey(platform::kHkeyCurrentUser, "Software\\Brindlex5"));
    }

    bool StartSmart() override {
        started.push_back("smart");
        return !busy;
    }
    bool StartFull() override {
        started.push_back("full");
        return !busy;
    }
    bool StartFolder(std::string_view folder) override {
        started.push_back(std::string(folder));
        return !busy;
    }

    void Set(const char* name, const char* value) { settings.SetSetting(name, value); }

    testsupport::TestSystem host;
    settings::SettingsStore settings{host.system()};
    apptest::ScriptedPrompts prompts;
    app::MainWindowModel model{host.system(), prompts, app::LaunchOptions{}};
    std::vector<std::string> started;
    bool busy = false;
};

TEST_F(MainWindowModelTest, AFullScanIsAnnouncedUnlessStartedByTheCommandLineOrSchedule) {
    model.ReadScanType();  // absent: full scan
    EXPECT_TRUE(model.StartSystemScan(*this));
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{app::kFullScanNotice});

    app::MainWindowModel atStart(host.system(), prompts, app::ParseCommandLine(":Scan:", false));
    atStart.ReadScanType();
    EXPECT_TRUE(atStart.StartSystemScan(*this));
    EXPECT_EQ(prompts.shown.size(), 1u);

    // The first scheduled scan silences the notice for the rest of the run.
    EXPECT_TRUE(model.BeginScheduledScan(false));
    EXPECT_TRUE(model.StartSystemScan(*this));
    EXPECT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(started, (std::vector<std::string>{"full", "full", "full"}));
}

TEST_F(MainWindowModelTest, TheSmartScanFollowsScanTypeAndARunningScanRefuses) {
    CRegistryHelper(host.registry())
        .SetDword(platform::kHkeyCurrentUser, "Software\\Brindlex5", "scantype", 1);
    model.ReadScanType();
    EXPECT_TRUE(model.StartSystemScan(*this));
    EXPECT_TRUE(prompts.shown.empty());

    busy = true;
    EXPECT_FALSE(model.StartSystemScan(*this));
    EXPECT_FALSE(model.StartFolderScan(*this, "C:\\Downloads"));
    EXPECT_EQ(started, (std::vector<std::string>{"smart", "smart", "C:\\Downloads"}));
    EXPECT_EQ(prompts.Texts(),
              std::vector<std::string>(2, "Already Scanning, Stop the scan and then try again"));
    // A schedule firing during a scan does nothing.
    EXPECT_FALSE(model.BeginScheduledScan(true));
}

TEST_F(MainWindowModelTest, AScanThatFindsNothingEndsWithoutTheRemovalQuestion) {
    Set("scnlg", "1");
    Set("Schedule Scan", "0");
    app::ScanFinishedPlan plan = model.OnScanFinished(false, rows);
    EXPECT_EQ(plan.status, "Scan Complete");
    EXPECT_TRUE(plan.resetProgress);
    EXPECT_FALSE(plan.offerRemoval);
    EXPECT_FALSE(plan.recomputeSchedule);
    EXPECT_TRUE(plan.scanLogPath.empty());
}

TEST_F(MainWindowModelTest, FindingsAreLoggedAndOfferedForRemoval) {
    Set("lfp", "C:\\Program Files\\Brindlex\\logs");
    Set("rfp", "C:\\Program Files\\Brindlex\\ref.bx");
    Set("Schedule Scan", "1");
    refdb::SpywareEntry& entry = Entry("Adware");
    AddFile(entry, "a.exe");
    AddFile(entry, "b.exe");
    rows.AddFile(entry, entry.files[0]);
    rows.AddFile(entry, entry.files[1]);

    // Without "scnlg" no log is written.
    EXPECT_TRUE(model.OnScanFinished(false, rows).scanLogPath.empty());

    Set("scnlg", "1");
    app::ScanFinishedPlan plan = model.OnScanFinished(true, rows);
    EXPECT_EQ(plan.status, "Scan Aborted");
    EXPECT_FALSE(plan.resetProgress);
    EXPECT_TRUE(plan.offerRemoval);
    EXPECT_TRUE(plan.recomputeSchedule);
    ASSERT_FALSE(plan.scanLogPath.empty());
    EXPECT_TRUE(host.files().Exists(plan.scanLogPath));

    prompts.answers = {Answer::kYes};
    EXPECT_TRUE(model.AskRemoveDetected(rows.size()));
    EXPECT_EQ(prompts.shown.at(0).text,
              "Brindlex Detected 2 Threats, Do you want Brindlex to Delete all Detected Threats?");
}

TEST_F(MainWindowModelTest, AddingToTheIgnoreListKeepsTheRows) {
    refdb::SpywareEntry& entry = Entry("Toolbar");
    AddFile(entry, "t.dll");
    rows.AddFile(entry, entry.files[0]);

    EXPECT_TRUE(model.AddToIgnoreList(rows, 0));
    EXPECT_TRUE(entry.ignored);
    EXPECT_EQ(rows.size(), 1u);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Item(s) added to ignore list"});
    std::string list;
    ASSERT_EQ(host.files().ReadFile(refdb::IgnoreListPath(host.system()), &list),
              platform::kSuccess);
    EXPECT_NE(refdb::Scrambled(list).find("Toolbar"), std::string::npos);
    EXPECT_FALSE(model.AddToIgnoreList(rows, 1));
}

class RecordingNotice : public app::MinimizeNotice {
  public:
    app::MinimizeNoticeAnswer Show() override {
        ++shown;
        return answer;
    }
    app::MinimizeNoticeAnswer answer;
    int shown = 0;
};

TEST_F(MainWindowModelTest, ClosingEndsTheProgramOnlyWithoutShieldsOrSchedule) {
    RecordingNotice notice;
    Set("nowarn", "0");
    EXPECT_EQ(model.OnCancel(false, notice), CloseAction::kEndProgram);
    // While the window sits in the tray the cancel path does nothing.
    model.SetAnyShieldOn(true);
    EXPECT_EQ(model.OnCancel(true, notice), CloseAction::kNothing);
    EXPECT_EQ(notice.shown, 0);

    notice.answer = {true, false};
    EXPECT_EQ(model.OnCancel(false, notice), CloseAction::kGoToTray);
    EXPECT_EQ(notice.shown, 1);

    model.SetAnyShieldOn(false);
    Set("Schedule Scan", "1");
    Set("nowarn", "1");
    EXPECT_EQ(model.OnCancel(false, notice), CloseAction::kGoToTray);
    EXPECT_EQ(notice.shown, 1);
}

TEST_F(MainWindowModelTest, ACancelledNoticeLeavesTheWindowAndIsShownOnce) {
    RecordingNotice notice;
    model.SetAnyShieldOn(true);
    notice.answer = {false, true};
    EXPECT_EQ(model.OnCancel(false, notice), CloseAction::kNothing);
    EXPECT_EQ(notice.shown, 1);
    // The ticked box counts even though the notice was cancelled.
    EXPECT_TRUE(settings.IsOn("nowarn"));
    EXPECT_EQ(model.OnCancel(false, notice), CloseAction::kGoToTray);
    EXPECT_EQ(notice.shown, 1);
}

}  // namespace
