// The switches as the settings hold them and as the tray's items flip them.
#include <gtest/gtest.h>

#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"
#include "settings/Messages.h"
#include "shields/Switches.h"

namespace {

namespace cmd = app::commands;

class SwitchesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CRegistryHelper(machine_.registry())
                        .OpenOrCreateKey(platform::kHkeyCurrentUser, "Software\\Brindlex5"));
    }
    std::string Setting(const char* name) {
        std::string value;
        return store_.GetSetting(name, &value) ? value : std::string("absent");
    }
    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
};

TEST_F(SwitchesTest, OnlyTheExactTextOneIsOnAndAnyShieldMakesThemActive) {
    shields::ShieldSwitches none = shields::ReadShieldSwitches(store_);
    EXPECT_EQ(none, shields::ShieldSwitches{});
    store_.SetSetting("ghmpg", "yes");
    store_.SetSetting("iehj", "1 ");
    store_.SetSetting("hnt", "1");
    shields::ShieldSwitches s = shields::ReadShieldSwitches(store_);
    EXPECT_FALSE(s.homePage || s.hijack);
    EXPECT_TRUE(s.hideNotifications);
    // Hiding notifications is not a shield.
    EXPECT_FALSE(s.shieldsActive);
    store_.SetSetting("strupshld", "1");
    s = shields::ReadShieldSwitches(store_);
    EXPECT_TRUE(s.startup && s.shieldsActive);
}

TEST_F(SwitchesTest, TheTableNamesEveryTrayItemAndDialogBox) {
    int shieldsCounted = 0;
    for (const shields::SwitchInfo& row : shields::SwitchTable()) {
        EXPECT_EQ(shields::FindSwitchByCommand(row.trayCommand), &row);
        EXPECT_EQ(shields::FindSwitch(row.setting), &row);
        shieldsCounted += row.shield ? 1 : 0;
    }
    EXPECT_EQ(shieldsCounted, 7);
    EXPECT_EQ(shields::FindSwitch("strupshld")->configureControl, 1008);
    EXPECT_EQ(shields::FindSwitch("hnt")->configureControl, 0);
    EXPECT_EQ(shields::FindSwitchByCommand(cmd::kTrayAllShields), nullptr);
}

TEST_F(SwitchesTest, OneShieldOffLeavesTheOthersWorking) {
    shields::ShieldSwitches s;
    s.hosts = s.cookie = s.shieldsActive = true;
    shields::SwitchChange change = shields::ApplyTrayToggle(cmd::kTrayCookieShield, s, store_);
    ASSERT_TRUE(change.handled);
    EXPECT_TRUE(change.before.cookie);
    EXPECT_FALSE(change.after.cookie);
    EXPECT_EQ(Setting("cokieshld"), "0");
    // The hosts shield is still on, so the shields stay active.
    EXPECT_TRUE(s.hosts && s.shieldsActive);
    // The last one off turns them inactive.
    shields::ApplyTrayToggle(cmd::kTrayHostsShield, s, store_);
    EXPECT_FALSE(s.shieldsActive);
    EXPECT_EQ(Setting("hsts"), "0");
    // One on turns them active again.
    shields::ApplyTrayToggle(cmd::kTrayRealTime, s, store_);
    EXPECT_TRUE(s.realTime && s.shieldsActive);
    EXPECT_EQ(Setting("rltime"), "1");
}

TEST_F(SwitchesTest, TheGlobalItemTurnsTheBrowserShieldsAndTheActiveFlag) {
    shields::ShieldSwitches s;
    s.shieldsActive = s.homePage = s.hijack = s.favorites = s.hosts = s.startup = true;
    shields::SwitchChange off = shields::ApplyTrayToggle(cmd::kTrayAllShields, s, store_);
    EXPECT_EQ(off.tooltip, "Brindlex Shields Disabled");
    EXPECT_FALSE(s.homePage || s.hijack || s.favorites || s.shieldsActive);
    EXPECT_TRUE(s.hosts && s.startup);
    EXPECT_EQ(Setting("ghmpg") + Setting("iehj") + Setting("gfv"), "000");
    EXPECT_EQ(Setting("hsts"), "absent");
    // Turning another shield off while they are disabled keeps them disabled.
    shields::ApplyTrayToggle(cmd::kTrayHostsShield, s, store_);
    EXPECT_FALSE(s.shieldsActive);
    shields::SwitchChange on = shields::ApplyTrayToggle(cmd::kTrayAllShields, s, store_);
    EXPECT_EQ(on.tooltip, "Brindlex 5.0");
    EXPECT_TRUE(s.homePage && s.hijack && s.favorites && s.shieldsActive);
    EXPECT_EQ(Setting("ghmpg") + Setting("iehj") + Setting("gfv"), "111");

    shields::ApplyTrayToggle(cmd::kTrayHideNotifications, s, store_);
    EXPECT_TRUE(s.hideNotifications && s.shieldsActive);
    EXPECT_EQ(Setting("hnt"), "1");
    shields::ApplyTrayToggle(cmd::kTrayHideNotifications, s, store_);
    EXPECT_EQ(Setting("hnt"), "0");

    const shields::ShieldSwitches kept = s;
    EXPECT_FALSE(shields::ApplyTrayToggle(cmd::kTrayExit, s, store_).handled);
    EXPECT_FALSE(shields::ApplyTrayToggle(cmd::kTrayRepeatNotification, s, store_).handled);
    EXPECT_EQ(s, kept);
}

}  // namespace
