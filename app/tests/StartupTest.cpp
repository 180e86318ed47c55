#include "app/Startup.h"

#include <gtest/gtest.h>

#include <string>

#include "app/LaunchOptions.h"
#include "app/SystemInfo.h"
#include "app/tests/ScriptedPrompts.h"
#include "platform/tests/support/TestSystem.h"
#include "refdb/Scramble.h"
#include "registry/RegistryHelper.h"

namespace {

using app::LaunchOptions;
using removal::Answer;

constexpr const char* kRunEntryBoth = "\"C:\\Program Files\\Brindlex\\brindlex.exe\" :Min: :Scan:";

TEST(LaunchOptionsTest, SwitchesArmTheirTimers) {
    LaunchOptions all = app::ParseCommandLine(kRunEntryBoth, true);
    std::vector<app::TimerRequest> timers = app::StartupTimers(all);
    ASSERT_EQ(timers.size(), 3u);
    EXPECT_EQ(timers[0].id, 2000u);
    EXPECT_EQ(timers[0].delayMs, 1000u);
    EXPECT_EQ(timers[1].id, 2001u);
    EXPECT_EQ(timers[1].delayMs, 2000u);
    EXPECT_EQ(timers[2].id, 2002u);
    EXPECT_EQ(timers[2].delayMs, 1000u);
    EXPECT_EQ(app::OnStartupTimer(2002, all), app::StartupTimerAction::kStartSystemScan);

    // Case-sensitive, and ":Scan" needs its closing colon.
    LaunchOptions lower = app::ParseCommandLine("brindlex.exe :scan: :min :Scan", false);
    EXPECT_TRUE(app::StartupTimers(lower).empty());
    EXPECT_EQ(app::OnStartupTimer(2002, lower), app::StartupTimerAction::kNone);
}

TEST(SystemInfoTest, VersionNames) {
    struct Case {
        app::VersionNumbers version;
        const char* name;
    };
    using namespace app;
    const Case cases[] = {
        {{kPlatformWindows, 4, 0, 950, 0, 0}, "Windows 95"},
        {{kPlatformWindows, 4, 90, 3000, 0, 0}, "Windows ME"},
        {{kPlatformNt, 4, 0, 1381, kProductWorkstation, 0}, "Windows NT 4.0 Workstation"},
        {{kPlatformNt, 4, 0, 1381, kProductServer, kSuiteBackOffice}, "Windows NT 4.0 BackOffice"},
        {{kPlatformNt, 5, 0, 2195, kProductWorkstation, 0}, "Windows 2000 Professional"},
        {{kPlatformNt, 5, 0, 2195, kProductServer, kSuiteEnterprise | kSuiteTerminal},
         "Windows 2000 Advanced"},
        {{kPlatformNt, 5, 0, 2195, kProductServer, 0}, "Windows 2000 Server"},
        {{kPlatformNt, 5, 0, 2195, kProductDomainController, kSuiteEnterprise},
         "Windows 2000 Domain Controller"},
        {{kPlatformNt, 5, 1, 2600, kProductWorkstation, kSuitePersonal}, "Windows XP Home Edition"},
        {{kPlatformNt, 5, 1, 2600, kProductWorkstation, 0}, "Windows XP Professional Edition"},
        {{kPlatformNt, 6, 1, 7601, kProductWorkstation, 0}, "Windows 7"},
        {{kPlatformNt, 10, 0, 19045, kProductWorkstation, kSuitePersonal}, "Windows 10"},
        {{kPlatformNt, 10, 0, 22631, kProductWorkstation, 0}, "Windows 11"},
        {{kPlatformNt, 10, 0, 17763, kProductServer, 0}, "Windows Server 2019"},
        {{kPlatformWin32s, 3, 10, 0, 0, 0}, "Windows"},
    };
    for (const Case& c : cases) {
        std::string name = app::WindowsVersionName(c.version);
        EXPECT_EQ(name, c.name);
        // Only the XP names set the isXP flag.
        EXPECT_EQ(app::IsXP(name), std::string_view(c.name).starts_with("Windows XP")) << name;
    }
}

// The main window's view of loading: the real database over the test
// system, with a scripted download and preferences dialog.
class LoadReferenceTest : public ::testing::Test, public app::ReferenceRecovery {
  protected:
    static constexpr const char* kMissing = "C:\\Program Files\\Brindlex\\missing.bx";
    static constexpr const char* kGood = "C:\\Program Files\\Brindlex\\good.bx";

    void SetUp() override {
        ASSERT_TRUE(CRegistryHelper(host.registry())
                        .OpenOrCreateKey(platform::kHkeyCurrentUser, "Software\\Brindlex5"));
        settings.SetSetting("rfp", kMissing);
    }

    void WriteGoodReference() {
        ASSERT_EQ(host.files().WriteFile(
                      kGood, refdb::Scrambled("<BX TOTAL=\"1\"><SW NAME=\"Adware\"/></BX>")),
                  platform::kSuccess);
    }

    bool LoadReference() override {
        ++loads;
        return app::LoadConfiguredReference(settings, database, nullptr);
    }
    bool RunDownload() override {
        ++downloads;
        if (!downloadWorks)
            return false;
        WriteGoodReference();
        settings.SetSetting("rfp", kGood);
        return true;
    }
    bool RunPreferences() override {
        ++preferencesRuns;
        return preferencesOk;
    }

    testsupport::TestSystem host;
    settings::SettingsStore settings{host.system()};
    refdb::ReferenceDatabase database{host.system()};
    apptest::ScriptedPrompts prompts;
    bool downloadWorks = true;
    bool preferencesOk = false;
    int loads = 0, downloads = 0, preferencesRuns = 0;
};

TEST_F(LoadReferenceTest, DecliningTheDownloadAndCancellingPreferencesCloses) {
    prompts.answers = {Answer::kNo};
    EXPECT_FALSE(app::LoadReferenceFile(*this, prompts));
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[0].text, app::kReferenceDamagedQuestion);
    EXPECT_EQ(prompts.shown[0].caption, "Brindlex");
    EXPECT_EQ(prompts.shown[0].buttons, removal::Buttons::kYesNo);
    EXPECT_EQ(prompts.shown[1].text, app::kNoReferenceClosing);
    EXPECT_EQ(preferencesRuns, 1);
    EXPECT_EQ(downloads, 0);
    EXPECT_EQ(loads, 1);
}

TEST_F(LoadReferenceTest, ADownloadedFileIsLoaded) {
    prompts.answers = {Answer::kYes};
    EXPECT_TRUE(app::LoadReferenceFile(*this, prompts));
    EXPECT_EQ(downloads, 1);
    EXPECT_EQ(loads, 2);
    ASSERT_EQ(database.entries().size(), 1u);
    EXPECT_EQ(database.entries()[0].name, "Adware");
}

TEST_F(LoadReferenceTest, TheQuestionRepeatsUntilALoadSucceedsOrAStepIsCancelled) {
    // Preferences confirmed without fixing the path: asked again; then a
    // failing download ends the loop without the closing message.
    preferencesOk = true;
    downloadWorks = false;
    prompts.answers = {Answer::kNo, Answer::kNo, Answer::kYes};
    EXPECT_FALSE(app::LoadReferenceFile(*this, prompts));
    EXPECT_EQ(preferencesRuns, 2);
    EXPECT_EQ(downloads, 1);
    EXPECT_EQ(loads, 3);
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>(3, app::kReferenceDamagedQuestion));
}

TEST(PrepareLaunchTest, TheFirstRunWritesDefaultsAndOffersTheUpdateOnce) {
    testsupport::TestSystem host;
    ASSERT_TRUE(
        CRegistryHelper(host.registry()).OpenOrCreateKey(platform::kHkeyCurrentUser, "SOFTWARE"));
    settings::SettingsStore settings(host.system());

    LaunchOptions first =
        app::PrepareLaunch(settings, "\"C:\\Program Files\\Brindlex\\brindlex.exe\"");
    EXPECT_TRUE(first.firstRun);
    EXPECT_EQ(settings.GetDword("scantype"), 1u);
    std::string value;
    ASSERT_TRUE(settings.GetSetting("firstrun", &value));
    EXPECT_EQ(value, "0");
    std::vector<app::TimerRequest> timers = app::StartupTimers(first);
    ASSERT_EQ(timers.size(), 1u);
    EXPECT_EQ(timers[0].id, 2001u);
    EXPECT_EQ(timers[0].delayMs, 2000u);

    // A changed setting survives the next start.
    settings.SetSetting("acu", "1");
    LaunchOptions second = app::PrepareLaunch(settings, kRunEntryBoth);
    EXPECT_FALSE(second.firstRun);
    EXPECT_TRUE(settings.IsOn("acu"));
    EXPECT_TRUE(second.scanAtStart && second.startInTray);
}

}  // namespace
