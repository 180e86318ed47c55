// The startup shield over a test machine: the Run keys of both hives and
// the 32-bit view, and the two Startup folders on a mapped drive.
#include <gtest/gtest.h>

#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"
#include "settings/Messages.h"
#include "shields/RegistryText.h"
#include "shields/ShieldMonitor.h"
#include "shields/StartupShield.h"
#include "shields/tests/ScriptedPopup.h"

namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using shields::kRunKey;
using shields::kRunKey32;

constexpr const char* kUserStartup = "C:\\Users\\me\\Start Menu\\Programs\\Startup";
constexpr const char* kCommonStartup = "C:\\ProgramData\\Start Menu\\Programs\\Startup";

class NoWatches : public shields::WatchRequests {
  public:
    void WatchKey(const shields::KeyWatch& watch) override { keys.push_back(watch); }
    void WatchFolder(const shields::FolderWatch& watch) override { folders.push_back(watch); }
    std::vector<shields::KeyWatch> keys;
    std::vector<shields::FolderWatch> folders;
};

class StartupShieldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store_.WriteDefaultSettings();
        machine_.environment().SetShellFolder(platform::ShellFolder::kStartup,
                                              std::string(kUserStartup) + "\\");
        machine_.environment().SetShellFolder(platform::ShellFolder::kCommonStartup,
                                              kCommonStartup);
        std::filesystem::create_directories(machine_.HostPath(kUserStartup));
        std::filesystem::create_directories(machine_.HostPath(kCommonStartup));
        ASSERT_TRUE(helper_.OpenOrCreateKey(kHkeyLocalMachine, "SOFTWARE\\Wow6432Node"));
        Run(kHkeyCurrentUser, kRunKey, "Mine", "C:\\mine.exe");
        Run(kHkeyLocalMachine, kRunKey, "Driver", "C:\\driver.exe /tray");
        Write(std::string(kUserStartup) + "\\Notes.lnk");
    }
    void Start(bool shieldsActive = true) {
        for (const char* name : {"ghmpg", "iehj", "gfv", "hsts", "rltime", "cokieshld"})
            store_.SetSetting(name, "0");
        store_.SetSetting("strupshld", "1");
        monitor_.LoadShieldSettings();
        monitor_.StartShields(watches_);
        if (!shieldsActive)
            monitor_.OnTrayCommand(app::commands::kTrayAllShields);
    }
    void Run(platform::HKey hive, const char* key, const char* name, const std::string& data) {
        ASSERT_TRUE(helper_.SetString(hive, key, name, data));
    }
    std::vector<std::string> Names(platform::HKey hive, const char* key) {
        std::vector<std::string> names;
        for (const auto& value : shields::ReadValues(machine_.registry(), hive, key))
            names.push_back(value.name);
        return names;
    }
    void Write(const std::string& path) {
        ASSERT_EQ(machine_.files().WriteFile(path, "[InternetShortcut]"), platform::kSuccess);
    }
    bool Exists(const std::string& path) { return machine_.files().Exists(path); }
    void KeyChanged(int id) { monitor_.OnMessage(app::WM_SHIELD_KEY_CHANGED, id); }
    void FolderChanged() { monitor_.OnMessage(app::WM_SHIELD_STARTUP_CHANGED, 0); }

    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
    CRegistryHelper helper_{machine_.registry()};
    shieldstest::ScriptedPopup popup_;
    shields::CShieldMonitor monitor_{machine_.system(), popup_};
    NoWatches watches_;
};

TEST_F(StartupShieldTest, WatchesThreeRunKeysAndBothFolders) {
    Start();
    ASSERT_EQ(watches_.keys.size(), 5u);  // with the two browser keys
    EXPECT_EQ(watches_.keys[2].keyId, 4);
    EXPECT_EQ(watches_.keys[3].keyId, 5);
    EXPECT_EQ(watches_.keys[4].keyId, 6);
    EXPECT_EQ(watches_.keys[4].subKey, kRunKey32);
    std::vector<shields::FolderWatch> startup;
    for (const shields::FolderWatch& folder : watches_.folders) {
        if (folder.message == app::WM_SHIELD_STARTUP_CHANGED)
            startup.push_back(folder);
    }
    ASSERT_EQ(startup.size(), 2u);
    EXPECT_EQ(startup[0].path, kUserStartup);
    EXPECT_EQ(startup[1].path, kCommonStartup);
}

TEST_F(StartupShieldTest, AMissing32BitRunKeyIsMadeOrElseLeftOut) {
    // Made, so that it is watched from the start (the fixture has none).
    ASSERT_FALSE(helper_.OpenKey(kHkeyLocalMachine, kRunKey32, platform::kKeyRead));
    Start();
    EXPECT_TRUE(helper_.OpenKey(kHkeyLocalMachine, kRunKey32, platform::kKeyRead));
    EXPECT_EQ(watches_.keys.back().keyId, 6);

    // Where it cannot be made it is not watched, so no monitor reports a
    // key it cannot open at every start; the other two still are.
    ASSERT_EQ(helper_.DeleteKeyTree(kHkeyLocalMachine, kRunKey32), platform::kSuccess);
    machine_.registry().DenyAccess(kHkeyLocalMachine, kRunKey32, 0xFFFFFFFF);
    shields::CShieldMonitor monitor(machine_.system(), popup_);
    monitor.LoadShieldSettings();
    NoWatches watches;
    monitor.StartShields(watches);
    EXPECT_EQ(watches.keys.back().keyId, 5);
    EXPECT_FALSE(helper_.OpenKey(kHkeyLocalMachine, kRunKey32, platform::kKeyRead));
}

TEST_F(StartupShieldTest, WithoutA32BitViewThereIsNoThirdKey) {
    ASSERT_EQ(helper_.DeleteKeyTree(kHkeyLocalMachine, "SOFTWARE\\Wow6432Node"),
              platform::kSuccess);
    shields::CShieldMonitor monitor(machine_.system(), popup_);
    store_.SetSetting("strupshld", "1");
    monitor.LoadShieldSettings();
    NoWatches watches;
    monitor.StartShields(watches);
    EXPECT_EQ(watches.keys.back().keyId, 5);
}

TEST_F(StartupShieldTest, ARefusedRunValueIsDeletedAndTheOthersStay) {
    Start();
    Run(kHkeyCurrentUser, kRunKey, "Bad", "C:\\bad.exe");
    Run(kHkeyCurrentUser, kRunKey, "Good", "C:\\good.exe");
    popup_.Answer(false);
    popup_.Answer(true);
    KeyChanged(4);
    ASSERT_EQ(popup_.asked.size(), 2u);
    EXPECT_EQ(popup_.asked[0].title, "New Startup Program Added");
    EXPECT_EQ(popup_.asked[0].message,
              "An Attempt was made to Add (C:\\bad.exe) to startup programs, Do you Authorize "
              "this change?");
    EXPECT_EQ(Names(kHkeyCurrentUser, kRunKey), (std::vector<std::string>{"Mine", "Good"}));
    // The allowed one is not asked about again.
    KeyChanged(4);
    EXPECT_EQ(popup_.asked.size(), 2u);
}

TEST_F(StartupShieldTest, AValueThatMayNotBeDeletedStaysAndIsNotAskedAgain) {
    Start();
    Run(kHkeyCurrentUser, kRunKey, "Bad", "C:\\bad.exe");
    machine_.registry().DenyAccess(kHkeyCurrentUser, kRunKey, platform::kKeySetValue);
    KeyChanged(4);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(Names(kHkeyCurrentUser, kRunKey), (std::vector<std::string>{"Mine", "Bad"}));
    KeyChanged(4);
    EXPECT_EQ(popup_.asked.size(), 1u);
    // Allowed again, the next new value is deleted, the others left alone.
    machine_.registry().DenyAccess(kHkeyCurrentUser, kRunKey, 0);
    Run(kHkeyCurrentUser, kRunKey, "Worse", "C:\\worse.exe");
    KeyChanged(4);
    ASSERT_EQ(popup_.asked.size(), 2u);
    EXPECT_EQ(Names(kHkeyCurrentUser, kRunKey), (std::vector<std::string>{"Mine", "Bad"}));
}

TEST_F(StartupShieldTest, EntriesAreKnownByTheirData) {
    Start();
    // The same command line under another name, and a renamed value: not new.
    Run(kHkeyCurrentUser, kRunKey, "Copy", "c:\\MINE.exe");
    KeyChanged(4);
    EXPECT_TRUE(popup_.asked.empty());
    // New data under an old name is new; No deletes that value (the old
    // data is not restored).
    Run(kHkeyLocalMachine, kRunKey, "Driver", "C:\\evil.exe");
    KeyChanged(5);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_TRUE(Names(kHkeyLocalMachine, kRunKey).empty());
}

TEST_F(StartupShieldTest, OneNoRemovesEveryValueWithThatCommandLine) {
    Start();
    Run(kHkeyCurrentUser, kRunKey, "A", "C:\\twice.exe");
    Run(kHkeyCurrentUser, kRunKey, "B", "C:\\TWICE.exe");
    KeyChanged(4);
    // Both went with the first No; the second is not asked about.
    EXPECT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(Names(kHkeyCurrentUser, kRunKey), std::vector<std::string>{"Mine"});
}

TEST_F(StartupShieldTest, RunKeysAreGuardedWhileTheOtherShieldsAreDisabled) {
    Start(false);
    EXPECT_FALSE(monitor_.switches().shieldsActive);
    Run(kHkeyLocalMachine, kRunKey32, "Old32", "C:\\x86\\tool.exe");
    KeyChanged(6);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_TRUE(Names(kHkeyLocalMachine, kRunKey32).empty());
    // The folders are not.
    Write(std::string(kUserStartup) + "\\Dropped.lnk");
    FolderChanged();
    EXPECT_EQ(popup_.asked.size(), 1u);
    EXPECT_TRUE(Exists(std::string(kUserStartup) + "\\Dropped.lnk"));
}

TEST_F(StartupShieldTest, WhatIsWrittenWhileThePopupIsOpenIsAskedAboutToo) {
    Start();
    int written = 0;
    popup_.whileOpen = [&](const shields::PopupRequest&) {
        if (written < 3) {
            ++written;
            Run(kHkeyCurrentUser, kRunKey, ("Late" + std::to_string(written)).c_str(),
                "C:\\late" + std::to_string(written) + ".exe");
        }
    };
    popup_.Answer(true);  // the first; the three late ones get No
    Run(kHkeyCurrentUser, kRunKey, "First", "C:\\first.exe");
    KeyChanged(4);
    EXPECT_EQ(popup_.asked.size(), 4u);
    EXPECT_EQ(Names(kHkeyCurrentUser, kRunKey), (std::vector<std::string>{"Mine", "First"}));
}

TEST_F(StartupShieldTest, LongCommandLinesAreComparedAndDeletedWhole) {
    const std::string longLine = "C:\\long.exe " + std::string(400, 'a');
    Run(kHkeyCurrentUser, kRunKey, "Long", longLine);
    Start();
    // Differs only after byte 260: still a new entry.
    Run(kHkeyCurrentUser, kRunKey, "Longer", longLine + "b");
    KeyChanged(4);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_NE(popup_.asked[0].message.find(longLine + "b)"), std::string::npos);
    EXPECT_EQ(Names(kHkeyCurrentUser, kRunKey), (std::vector<std::string>{"Mine", "Long"}));
}

TEST_F(StartupShieldTest, ADroppedShortcutIsAskedByNameAndDeletedOnNo) {
    Start();
    const std::string dropped = std::string(kCommonStartup) + "\\Updater.lnk";
    const std::string kept = std::string(kUserStartup) + "\\Clock.lnk";
    Write(dropped);
    Write(kept);
    popup_.Answer(true);   // the user's folder first
    popup_.Answer(false);  // then all users'
    FolderChanged();
    ASSERT_EQ(popup_.asked.size(), 2u);
    EXPECT_EQ(popup_.asked[0].message,
              "An Attempt was made to Add (Clock.lnk) to startup programs, Do you Authorize this "
              "change?");
    EXPECT_NE(popup_.asked[1].message.find("(Updater.lnk)"), std::string::npos);
    EXPECT_FALSE(Exists(dropped));
    EXPECT_TRUE(Exists(kept));
    EXPECT_TRUE(Exists(std::string(kUserStartup) + "\\Notes.lnk"));
    // Removing a file is not reported; folders in the folder are not files.
    ASSERT_EQ(machine_.files().DeleteFile(kept), platform::kSuccess);
    std::filesystem::create_directories(machine_.HostPath(std::string(kUserStartup) + "\\Sub"));
    FolderChanged();
    EXPECT_EQ(popup_.asked.size(), 2u);
}

TEST_F(StartupShieldTest, AVanishedFolderAndAnUndeletableFileAreNoTrouble) {
    Start();
    std::filesystem::remove_all(machine_.HostPath(kCommonStartup));
    const std::string locked = std::string(kUserStartup) + "\\Locked.lnk";
    Write(locked);
    ASSERT_EQ(machine_.files().SetAttributes(locked, platform::kAttrReadOnly), platform::kSuccess);
    FolderChanged();
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_TRUE(Exists(locked));
    // It could not be deleted, so it is not asked about again.
    FolderChanged();
    EXPECT_EQ(popup_.asked.size(), 1u);
}

TEST_F(StartupShieldTest, SwitchedBackOnItTakesWhatIsThereAsTheBaseline) {
    Start();
    monitor_.OnTrayCommand(app::commands::kTrayStartupShield);
    Run(kHkeyCurrentUser, kRunKey, "WhileOff", "C:\\while-off.exe");
    Write(std::string(kUserStartup) + "\\WhileOff.lnk");
    KeyChanged(4);
    FolderChanged();
    EXPECT_TRUE(popup_.asked.empty());
    monitor_.OnTrayCommand(app::commands::kTrayStartupShield);
    KeyChanged(4);
    FolderChanged();
    EXPECT_TRUE(popup_.asked.empty());
    EXPECT_EQ(Names(kHkeyCurrentUser, kRunKey).size(), 2u);
}

TEST_F(StartupShieldTest, HiddenNotificationsRemoveEveryNewEntrySilently) {
    store_.SetSetting("hnt", "1");
    Start();
    for (int i = 0; i < 20; ++i)
        Run(kHkeyCurrentUser, kRunKey, ("N" + std::to_string(i)).c_str(),
            "C:\\n" + std::to_string(i) + ".exe");
    Write(std::string(kUserStartup) + "\\Silent.lnk");
    KeyChanged(4);
    FolderChanged();
    EXPECT_TRUE(popup_.asked.empty());
    EXPECT_EQ(Names(kHkeyCurrentUser, kRunKey), std::vector<std::string>{"Mine"});
    EXPECT_FALSE(Exists(std::string(kUserStartup) + "\\Silent.lnk"));
}

}  // namespace
