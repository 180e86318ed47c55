// The home page and hijack shields over a test machine's registry, with a
// scripted answerer.
#include <gtest/gtest.h>

#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"
#include "settings/Messages.h"
#include "shields/BrowserShield.h"
#include "shields/ShieldMonitor.h"
#include "shields/tests/ScriptedPopup.h"

namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using shields::kBrowserMainKey;

class NoWatches : public shields::WatchRequests {
  public:
    void WatchKey(const shields::KeyWatch& watch) override { keys.push_back(watch.keyId); }
    void WatchFolder(const shields::FolderWatch&) override {}
    std::vector<int> keys;
};

class BrowserShieldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store_.WriteDefaultSettings();
        Set(kHkeyCurrentUser, "Start Page", "http://home.example/");
        Set(kHkeyCurrentUser, "Search Bar", "http://bar.example/");
        Set(kHkeyLocalMachine, "Search Page", "http://machine.example/");
    }
    void Start(std::initializer_list<const char*> on) {
        for (const char* name :
             {"ghmpg", "iehj", "gfv", "hsts", "rltime", "cokieshld", "strupshld"})
            store_.SetSetting(name, "0");
        for (const char* name : on)
            store_.SetSetting(name, "1");
        store_.SetSetting("hmpg", "http://mine.example/");
        store_.SetSetting("srchpge", "http://search.example/");
        monitor_.LoadShieldSettings();
        monitor_.StartShields(watches_);
    }
    void Set(platform::HKey hive, const char* name, const char* value) {
        ASSERT_TRUE(helper_.SetString(hive, kBrowserMainKey, name, value));
    }
    std::string Get(platform::HKey hive, const char* name) {
        return helper_.QueryString(hive, kBrowserMainKey, name, "(absent)");
    }
    void Changed(int keyId) { monitor_.OnMessage(app::WM_SHIELD_KEY_CHANGED, keyId); }

    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
    CRegistryHelper helper_{machine_.registry()};
    shieldstest::ScriptedPopup popup_;
    shields::CShieldMonitor monitor_{machine_.system(), popup_};
    NoWatches watches_;
};

TEST_F(BrowserShieldTest, StartWritesTheMaintainedPagesAndWatchesBothHives) {
    Start({"ghmpg", "iehj"});
    EXPECT_EQ(Get(kHkeyCurrentUser, "Start Page"), "http://mine.example/");
    EXPECT_EQ(Get(kHkeyCurrentUser, "Search Page"), "http://search.example/");
    EXPECT_EQ(Get(kHkeyCurrentUser, "Local Page"), "\\blank.htm");
    EXPECT_EQ(watches_.keys, (std::vector<int>{2, 3, 4, 5}));
    // Nothing changed: nothing asked.
    Changed(2);
    EXPECT_TRUE(popup_.asked.empty());
}

TEST_F(BrowserShieldTest, AnEmptyHomePageSettingMaintainsABlankPage) {
    store_.SetSetting("hmpg", "");
    store_.SetSetting("ghmpg", "1");
    monitor_.LoadShieldSettings();
    std::string page;
    store_.GetSetting("hmpg", &page);
    EXPECT_EQ(page, "about:blank");
    EXPECT_EQ(Get(kHkeyCurrentUser, "Start Page"), "about:blank");
}

TEST_F(BrowserShieldTest, NoWritesBackTheHomePageYesMovesTheBaseline) {
    Start({"ghmpg"});
    Set(kHkeyCurrentUser, "Start Page", "http://bad.example/");
    popup_.Answer(false);
    Changed(2);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(popup_.asked[0].message,
              "An Attempt was made to change your home page from (http://mine.example/) to "
              "(http://bad.example/), Do you Authorize this change?");
    EXPECT_EQ(Get(kHkeyCurrentUser, "Start Page"), "http://mine.example/");
    EXPECT_EQ(monitor_.alerts().last().text,
              "An Attempt was made to change your home page from (http://mine.example/) to "
              "(http://bad.example/), You did not authorize the change.");

    // Only the case differs: no change.
    Set(kHkeyCurrentUser, "Start Page", "HTTP://MINE.EXAMPLE/");
    Changed(2);
    EXPECT_EQ(popup_.asked.size(), 1u);

    Set(kHkeyCurrentUser, "Start Page", "http://new.example/");
    popup_.Answer(true);
    Changed(2);
    EXPECT_EQ(Get(kHkeyCurrentUser, "Start Page"), "http://new.example/");
    Changed(2);
    EXPECT_EQ(popup_.asked.size(), 2u);
    // The hijack shield is off: its values are not looked at.
    Set(kHkeyCurrentUser, "Search Page", "http://other.example/");
    Changed(2);
    EXPECT_EQ(popup_.asked.size(), 2u);
}

TEST_F(BrowserShieldTest, TheMachineHiveIsComparedWithTheUsersBaselines) {
    Start({"ghmpg", "iehj"});
    // The machine's start page is never asked about.
    Set(kHkeyLocalMachine, "Start Page", "http://bad.example/");
    Set(kHkeyLocalMachine, "Search Bar", "http://machine-bar.example/");
    popup_.Answer(false);
    popup_.Answer(true);
    Changed(3);
    // Its search page differs from the user's baseline: No writes the
    // baseline there; its search bar differs too: Yes.
    ASSERT_EQ(popup_.asked.size(), 2u);
    EXPECT_EQ(popup_.asked[0].title, "IE Settings Changed");
    EXPECT_EQ(popup_.asked[0].message,
              "An Attempt was made to change your IE Settings from (http://search.example/) to "
              "(http://machine.example/), Do you want to Authorize this change?");
    EXPECT_EQ(Get(kHkeyLocalMachine, "Search Page"), "http://search.example/");
    EXPECT_EQ(Get(kHkeyLocalMachine, "Start Page"), "http://bad.example/");
    // The machine holds no local page: not a change, so not asked about, and
    // the baseline stays.
    EXPECT_NE(popup_.asked[1].message.find("from (http://bar.example/) to "
                                           "(http://machine-bar.example/)"),
              std::string::npos);
    EXPECT_EQ(Get(kHkeyLocalMachine, "Local Page"), "(absent)");
    // Yes made the machine's search bar the shared baseline: the user's own
    // now differs from it.
    popup_.Answer(true);
    Changed(2);
    ASSERT_EQ(popup_.asked.size(), 3u);
    EXPECT_NE(popup_.asked[2].message.find("from (http://machine-bar.example/) to "
                                           "(http://bar.example/)"),
              std::string::npos);
}

TEST_F(BrowserShieldTest, ADeletedSearchBarSilentlyEmptiesItsBaseline) {
    Start({"iehj"});
    ASSERT_EQ(helper_.DeleteValue(kHkeyCurrentUser, kBrowserMainKey, "Search Bar"),
              platform::kSuccess);
    Changed(2);
    EXPECT_TRUE(popup_.asked.empty());
    Set(kHkeyCurrentUser, "Search Bar", "http://bar2.example/");
    popup_.Answer(false);
    Changed(2);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_NE(popup_.asked[0].message.find("from () to (http://bar2.example/)"), std::string::npos);
    // The empty baseline is written back as an empty text.
    EXPECT_EQ(Get(kHkeyCurrentUser, "Search Bar"), "");
}

TEST_F(BrowserShieldTest, HiddenNotificationsWriteEveryDifferenceBack) {
    store_.SetSetting("hnt", "1");
    Start({"ghmpg", "iehj"});
    Set(kHkeyCurrentUser, "Start Page", "http://bad.example/");
    Set(kHkeyCurrentUser, "Search Page", "http://bad.example/");
    Set(kHkeyCurrentUser, "Local Page", "C:\\bad.htm");
    Changed(2);
    EXPECT_TRUE(popup_.asked.empty());
    EXPECT_EQ(Get(kHkeyCurrentUser, "Start Page"), "http://mine.example/");
    EXPECT_EQ(Get(kHkeyCurrentUser, "Search Page"), "http://search.example/");
    EXPECT_EQ(Get(kHkeyCurrentUser, "Local Page"), "\\blank.htm");
    // The search bar was never changed, so it was not written.
    EXPECT_EQ(Get(kHkeyCurrentUser, "Search Bar"), "http://bar.example/");
}

TEST_F(BrowserShieldTest, SwitchedOffItIsSilentSwitchedOnItTakesAFreshBaseline) {
    Start({"ghmpg"});
    monitor_.OnTrayCommand(app::commands::kTrayHomePageShield);
    Set(kHkeyCurrentUser, "Start Page", "http://while-off.example/");
    Changed(2);
    EXPECT_TRUE(popup_.asked.empty());
    monitor_.OnTrayCommand(app::commands::kTrayHomePageShield);
    Changed(2);
    EXPECT_TRUE(popup_.asked.empty());
    Set(kHkeyCurrentUser, "Start Page", "http://later.example/");
    Changed(2);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_NE(popup_.asked[0].message.find("from (http://while-off.example/)"), std::string::npos);
}

TEST_F(BrowserShieldTest, LongValuesAreComparedAndRestoredWhole) {
    const std::string longPage = "http://long.example/" + std::string(600, 'p');
    store_.SetSetting("ghmpg", "1");
    monitor_.LoadShieldSettings();
    Set(kHkeyCurrentUser, "Start Page", longPage.c_str());
    monitor_.StartShields(watches_);
    Set(kHkeyCurrentUser, "Start Page", (longPage + "x").c_str());
    popup_.Answer(false);
    Changed(2);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(Get(kHkeyCurrentUser, "Start Page"), longPage);
}

}  // namespace
