// "Configure Shields": the boxes as the settings hold them, and what OK
// writes, then applied by reloading the shield settings.
#include <gtest/gtest.h>

#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"
#include "settings/Messages.h"
#include "shields/BrowserShield.h"
#include "shields/ConfigureShields.h"
#include "shields/ShieldMonitor.h"
#include "shields/tests/ScriptedPopup.h"

namespace {

class ConfigureShieldsTest : public ::testing::Test {
  protected:
    void SetUp() override { store_.WriteDefaultSettings(); }
    std::string Setting(const char* name) {
        std::string value;
        return store_.GetSetting(name, &value) ? value : std::string("absent");
    }
    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
};

TEST_F(ConfigureShieldsTest, OpensWithEachBoxAsItsSettingAndTheStoredHomePage) {
    store_.SetSetting("ghmpg", "1");
    store_.SetSetting("hmpg", "http://mine.example/");
    store_.SetSetting("iehj", "0");
    store_.SetSetting("hsts", "1 ");  // only the exact text "1" is on
    store_.SetSetting("strupshld", "1");
    const shields::ConfigureShieldsForm form = shields::LoadConfigureShieldsForm(store_);
    std::vector<int> controls;
    for (const auto& box : form.boxes)
        controls.push_back(box.row->configureControl);
    // Every shield has its box; "hnt" has none.
    EXPECT_EQ(controls, (std::vector<int>{1070, 1069, 1068, 1094, 1095, 1007, 1008}));
    EXPECT_EQ(form.Find("hnt"), nullptr);
    EXPECT_TRUE(form.Find("ghmpg")->ticked);
    EXPECT_FALSE(form.Find("iehj")->ticked);
    EXPECT_FALSE(form.Find("hsts")->ticked);
    EXPECT_TRUE(form.Find("strupshld")->ticked);
    EXPECT_EQ(form.homePage, "http://mine.example/");
}

TEST_F(ConfigureShieldsTest, OkWritesEveryBoxAndTheHomePageOnlyWhileItsBoxIsTicked) {
    store_.SetSetting("hmpg", "http://kept.example/");
    shields::ConfigureShieldsForm form = shields::LoadConfigureShieldsForm(store_);
    for (auto& box : form.boxes)
        box.ticked = true;
    form.Find("ghmpg")->ticked = false;
    form.Find("rltime")->ticked = false;
    form.homePage = "http://typed.example/";
    store_.SetSetting("hnt", "1");
    shields::SaveConfigureShieldsForm(form, store_);
    EXPECT_EQ(Setting("ghmpg"), "0");
    EXPECT_EQ(Setting("hmpg"), "http://kept.example/");
    EXPECT_EQ(Setting("rltime"), "0");
    for (const char* name : {"gfv", "iehj", "hsts", "cokieshld", "strupshld"})
        EXPECT_EQ(Setting(name), "1") << name;
    EXPECT_EQ(Setting("hnt"), "1");

    form.Find("ghmpg")->ticked = true;
    shields::SaveConfigureShieldsForm(form, store_);
    EXPECT_EQ(Setting("ghmpg"), "1");
    EXPECT_EQ(Setting("hmpg"), "http://typed.example/");
}

TEST_F(ConfigureShieldsTest, AfterOkTheReloadMaintainsTheTypedPageAndItIsTheBaseline) {
    shieldstest::ScriptedPopup popup;
    shields::CShieldMonitor monitor(machine_.system(), popup);
    shields::NoWatchRequests watches;
    store_.SetSetting("ghmpg", "0");
    monitor.LoadShieldSettings();
    monitor.StartShields(watches);
    EXPECT_FALSE(monitor.switches().homePage);

    shields::ConfigureShieldsForm form = shields::LoadConfigureShieldsForm(store_);
    form.Find("ghmpg")->ticked = true;
    form.homePage = "http://typed.example/";
    shields::SaveConfigureShieldsForm(form, store_);
    monitor.LoadShieldSettings();
    EXPECT_TRUE(monitor.switches().homePage && monitor.switches().shieldsActive);
    CRegistryHelper helper(machine_.registry());
    EXPECT_EQ(helper.QueryString(platform::kHkeyCurrentUser, shields::kBrowserMainKey, "Start Page",
                                 "(absent)"),
              "http://typed.example/");
    // A program that changes it now is asked about against the typed page.
    ASSERT_TRUE(helper.SetString(platform::kHkeyCurrentUser, shields::kBrowserMainKey, "Start Page",
                                 "http://other.example/"));
    monitor.OnMessage(app::WM_SHIELD_KEY_CHANGED, shields::kCurrentUserMainKeyId);
    ASSERT_EQ(popup.asked.size(), 1u);
    EXPECT_NE(
        popup.asked[0].message.find("from (http://typed.example/) to (http://other.example/)"),
        std::string::npos)
        << popup.asked[0].message;
}

}  // namespace
