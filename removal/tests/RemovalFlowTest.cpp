#include "removal/RemovalFlow.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/tests/support/TestSystem.h"
#include "settings/SettingsStore.h"

namespace {

struct Asked {
    std::string text;
    std::string caption;
    removal::Buttons buttons;
};

class ScriptedPrompts : public removal::Prompts {
  public:
    removal::Answer Ask(std::string_view text, std::string_view caption,
                        removal::Buttons buttons) override {
        asked.push_back({std::string(text), std::string(caption), buttons});
        if (buttons == removal::Buttons::kOk)
            return removal::Answer::kOk;
        if (answers.empty())
            return removal::Answer::kNo;
        const removal::Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Asked& a : asked)
            texts.push_back(a.text);
        return texts;
    }
    std::deque<removal::Answer> answers;
    std::vector<Asked> asked;
};

class FakeBackup : public removal::BackupMaker {
  public:
    bool CreateBackup(refdb::ReferenceDatabase&) override {
        ++calls;
        return succeeds;
    }
    int calls = 0;
    bool succeeds = true;
};

class FakeView : public removal::RemovalView {
  public:
    bool RunRemovalDialog(int totalCount,
                          const std::function<bool(removal::RemovalProgress&)>& pass) override {
        total = totalCount;
        struct Progress : removal::RemovalProgress {
            void Step() override {}
        } progress;
        ++runs;
        return pass(progress);
    }
    void OnDetectionsCleared() override { ++cleared; }
    int total = -1;
    int runs = 0;
    int cleared = 0;
};

// Windows by class, each owned by a process; terminating a process closes
// its windows unless the process refuses.
class FakeProcesses : public platform::Processes {
  public:
    std::string ModuleFileName() override { return testsupport::kProgramFile; }
    bool FindWindowProcess(std::string_view windowClass, std::uint32_t* processId) override {
        for (const auto& [id, cls] : windows) {
            if (cls == windowClass) {
                *processId = id;
                return true;
            }
        }
        return false;
    }
    bool TerminateProcess(std::uint32_t processId, std::uint32_t) override {
        ++terminations;
        if (processId == stubborn)
            return false;
        windows.erase(processId);
        return true;
    }
    bool ShutDownSystem(std::uint32_t flags, std::uint32_t reason) override {
        exitFlags = flags;
        exitReason = reason;
        return restartWorks;
    }
    std::map<std::uint32_t, std::string> windows;
    std::uint32_t stubborn = 0;
    int terminations = 0;
    std::uint32_t exitFlags = 0;
    std::uint32_t exitReason = 99;
    bool restartWorks = true;
};

class RemovalFlowTest : public ::testing::Test {
  protected:
    RemovalFlowTest()
        : system{host.system().registry,    host.system().files, processes,
                 host.system().environment, host.system().clock, host.system().network},
          database(system) {
        EXPECT_TRUE(settings.WriteDefaultSettings());
        EXPECT_TRUE(settings.SetSetting("lfp", "C:\\Logs"));
        EXPECT_TRUE(settings.SetSetting("abrs", "0"));
        system.files.CreateDirectory("C:\\Work");
        refdb::SpywareEntry entry;
        entry.name = "Zindle";
        entry.detected = true;
        for (const char* name : {"a.exe", "b.exe"}) {
            refdb::FileItem file;
            file.name = name;
            file.path = "C:\\Work";
            file.detected = true;
            EXPECT_EQ(system.files.WriteFile(std::string("C:\\Work\\") + name, "x"),
                      platform::kSuccess);
            entry.files.push_back(file);
        }
        entry.files.front().copies.emplace_back();
        database.entries().push_back(entry);
        refdb::SpywareEntry& stored = database.entries().back();
        rows.AddFile(stored, stored.files[0]);
        rows.AddFile(stored, stored.files[1]);
    }

    removal::RemovalOutcome Remove() {
        removal::RemovalRequest request{system, database, rows, prompts, backup, view, &pairs};
        return removal::RemoveSelectedItems(request);
    }

    testsupport::TestSystem host;
    FakeProcesses processes;
    platform::System system;
    settings::SettingsStore settings{system};
    refdb::ReferenceDatabase database;
    scan::ResultRows rows;
    std::vector<refdb::CacheFileRef> pairs;
    ScriptedPrompts prompts;
    FakeBackup backup;
    FakeView view;
};

TEST_F(RemovalFlowTest, RemovesCheckedRowsOnlyAndClearsEverything) {
    rows.rows()[1].checked = false;
    refdb::SpywareEntry other;
    other.detected = true;
    refdb::FileItem cached;
    cached.detected = true;
    pairs.push_back({&other, &cached});

    EXPECT_EQ(Remove(), removal::RemovalOutcome::kRemoved);
    EXPECT_FALSE(system.files.Exists("C:\\Work\\a.exe"));
    EXPECT_TRUE(system.files.Exists("C:\\Work\\b.exe"));
    EXPECT_EQ(view.total, 2);
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{removal::kRemovedMessage}));
    EXPECT_EQ(prompts.asked[0].caption, removal::kAppTitle);
    EXPECT_TRUE(rows.empty());
    const refdb::SpywareEntry& entry = database.entries().front();
    EXPECT_FALSE(entry.detected);
    EXPECT_FALSE(entry.files[0].detected);
    EXPECT_TRUE(entry.files[0].copies.empty());
    EXPECT_FALSE(other.detected);
    EXPECT_FALSE(cached.detected);
    EXPECT_EQ(view.cleared, 1);
}

TEST_F(RemovalFlowTest, RowsNoneCheckedRemoveNothingButSucceed) {
    for (scan::ResultRow& row : rows.rows())
        row.checked = false;
    EXPECT_EQ(Remove(), removal::RemovalOutcome::kRemoved);
    EXPECT_TRUE(system.files.Exists("C:\\Work\\a.exe"));
    EXPECT_TRUE(system.files.Exists("C:\\Work\\b.exe"));
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{removal::kRemovedMessage}));
    EXPECT_TRUE(rows.empty());
}

TEST_F(RemovalFlowTest, NoRowsSaysSoAndStops) {
    rows.Clear();
    EXPECT_EQ(Remove(), removal::RemovalOutcome::kNothingToRemove);
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{"No Items to remove"}));
    EXPECT_EQ(view.runs, 0);
    EXPECT_TRUE(system.files.Exists("C:\\Work\\a.exe"));
}

TEST_F(RemovalFlowTest, BackupQuestionsFollowTheSetting) {
    ASSERT_TRUE(settings.SetSetting("abrs", "1"));
    // Yes to the backup, no to removing after a failed backup.
    backup.succeeds = false;
    prompts.answers = {removal::Answer::kYes, removal::Answer::kNo};
    EXPECT_EQ(Remove(), removal::RemovalOutcome::kStopped);
    EXPECT_EQ(backup.calls, 1);
    EXPECT_EQ(prompts.Texts(),
              (std::vector<std::string>{removal::kBackupQuestion, removal::kBackupFailed}));
    EXPECT_EQ(prompts.asked[1].caption, "Permission");
    EXPECT_EQ(view.runs, 0);
    EXPECT_FALSE(rows.empty());

    // Yes, then yes after a good backup.
    prompts.asked.clear();
    backup.succeeds = true;
    prompts.answers = {removal::Answer::kYes, removal::Answer::kYes};
    EXPECT_EQ(Remove(), removal::RemovalOutcome::kRemoved);
    EXPECT_EQ(prompts.Texts(),
              (std::vector<std::string>{removal::kBackupQuestion, removal::kBackupDone,
                                        removal::kRemovedMessage}));
}

TEST_F(RemovalFlowTest, NoToTheBackupGoesOnWithoutOne) {
    ASSERT_TRUE(settings.SetSetting("abrs", "1"));
    prompts.answers = {removal::Answer::kNo};
    EXPECT_EQ(Remove(), removal::RemovalOutcome::kRemoved);
    EXPECT_EQ(backup.calls, 0);
    EXPECT_FALSE(system.files.Exists("C:\\Work\\a.exe"));
}

TEST_F(RemovalFlowTest, AFileLeftForRestartOffersTheRestart) {
    ASSERT_EQ(system.files.DeleteFile("C:\\Work\\a.exe"), platform::kSuccess);
    ASSERT_EQ(system.files.CreateDirectory("C:\\Work\\a.exe"), platform::kSuccess);
    EXPECT_EQ(Remove(), removal::RemovalOutcome::kRestartStarted);
    EXPECT_EQ(processes.exitFlags, platform::kExitWindowsReboot | platform::kExitWindowsForce);
    EXPECT_EQ(processes.exitReason, 0u);
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{removal::kRestartNotice}));
    EXPECT_TRUE(rows.empty());
}

TEST_F(RemovalFlowTest, AFailedRestartAsksForAManualOne) {
    ASSERT_EQ(system.files.DeleteFile("C:\\Work\\a.exe"), platform::kSuccess);
    ASSERT_EQ(system.files.CreateDirectory("C:\\Work\\a.exe"), platform::kSuccess);
    processes.restartWorks = false;
    EXPECT_EQ(Remove(), removal::RemovalOutcome::kRestartFailed);
    EXPECT_EQ(prompts.Texts(),
              (std::vector<std::string>{removal::kRestartNotice, removal::kRestartFailedMessage}));
}

TEST_F(RemovalFlowTest, BrowserWindowsAreClosedOnlyWhenTheUserAgrees) {
    processes.windows = {{10, "IEFrame"}, {11, "CabinetWClass"}, {12, "Notepad"}};
    prompts.answers = {removal::Answer::kNo};
    removal::CloseBrowserWindows(processes, prompts);
    EXPECT_EQ(processes.windows.size(), 3u);
    EXPECT_EQ(prompts.asked.at(0).caption, "Alert!");

    prompts.answers = {removal::Answer::kYes};
    removal::CloseBrowserWindows(processes, prompts);
    EXPECT_EQ(processes.windows.size(), 1u);

    // No such window: no question.
    prompts.asked.clear();
    removal::CloseBrowserWindows(processes, prompts);
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(RemovalFlowTest, AProcessThatWillNotEndDoesNotHangTheLoop) {
    processes.windows = {{10, "IEFrame"}, {11, "IEFrame"}};
    processes.stubborn = 10;
    prompts.answers = {removal::Answer::kYes};
    removal::CloseBrowserWindows(processes, prompts);
    EXPECT_LE(processes.terminations, 2);
    EXPECT_EQ(processes.windows.count(10), 1u);
}

}  // namespace
