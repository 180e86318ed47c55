// `CShieldMonitor` over shields that record what they were asked: the start
// order, notice dispatch while an alert is open, and what the switches tell
// the shields.
#include <gtest/gtest.h>

#include <functional>

#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"
#include "settings/Messages.h"
#include "shields/ShieldMonitor.h"
#include "shields/tests/ScriptedPopup.h"

namespace {

namespace cmd = app::commands;

class RecordingWatches : public shields::WatchRequests {
  public:
    void WatchKey(const shields::KeyWatch& watch) override {
        log.push_back("key " + std::to_string(watch.keyId));
    }
    void WatchFolder(const shields::FolderWatch& watch) override {
        log.push_back("folder " + watch.path);
    }
    std::vector<std::string> log;
};

class FakeShield : public shields::Shield {
  public:
    FakeShield(std::string name, std::vector<std::string>& log)
        : name_(std::move(name)), log_(log) {}

    void ApplySettings(settings::SettingsStore&, const shields::ShieldSwitches& s) override {
        log_.push_back(name_ + " apply " + (s.startup ? "startup" : "-"));
    }
    void Start(shields::WatchRequests& watches) override {
        log_.push_back(name_ + " baseline");
        for (int id : keys)
            watches.WatchKey({platform::kHkeyCurrentUser, "k", id});
        for (const shields::FolderWatch& folder : folders)
            watches.WatchFolder(folder);
    }
    bool OnNotice(const shields::Notice& notice) override {
        if (notice.message != message)
            return false;
        log_.push_back(name_ + " notice " + std::to_string(notice.wParam));
        if (onNotice)
            onNotice(notice);
        return true;
    }
    void OnSwitchesChanged(const shields::ShieldSwitches& before,
                           const shields::ShieldSwitches& after) override {
        if (!before.startup && after.startup)
            log_.push_back(name_ + " fresh baseline");
    }

    std::vector<int> keys;
    std::vector<shields::FolderWatch> folders;
    std::uint32_t message = 0;
    std::function<void(const shields::Notice&)> onNotice;

  private:
    std::string name_;
    std::vector<std::string>& log_;
};

class ShieldMonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CRegistryHelper(machine_.registry())
                        .OpenOrCreateKey(platform::kHkeyCurrentUser, "Software\\Brindlex5"));
        auto a = std::make_unique<FakeShield>("a", log_);
        auto b = std::make_unique<FakeShield>("b", log_);
        a_ = a.get();
        b_ = b.get();
        std::vector<std::unique_ptr<shields::Shield>> list;
        list.push_back(std::move(a));
        list.push_back(std::move(b));
        monitor_.SetShields(std::move(list));
    }
    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
    shieldstest::ScriptedPopup popup_;
    shields::CShieldMonitor monitor_{machine_.system(), popup_};
    std::vector<std::string> log_;
    FakeShield* a_ = nullptr;
    FakeShield* b_ = nullptr;
};

TEST_F(ShieldMonitorTest, BaselinesFirstThenKeysByIdThenFoldersByRank) {
    a_->keys = {5, 2};
    a_->folders = {{"C:\\late", shields::kNotifyFileName, app::WM_SHIELD_STARTUP_CHANGED, 4}};
    b_->keys = {3};
    b_->folders = {{"C:\\early", shields::kNotifyLastWrite, app::WM_SHIELD_HOSTS_CHANGED, 1}};
    RecordingWatches watches;
    EXPECT_EQ(monitor_.StartShields(watches), 1);
    EXPECT_TRUE(monitor_.started());
    EXPECT_EQ(log_, (std::vector<std::string>{"a baseline", "b baseline"}));
    EXPECT_EQ(watches.log, (std::vector<std::string>{"key 2", "key 3", "key 5", "folder C:\\early",
                                                     "folder C:\\late"}));
}

TEST_F(ShieldMonitorTest, SettingsLoadBeforeStartTakeNoBaselineAfterStartAFreshOne) {
    store_.SetSetting("strupshld", "1");
    monitor_.LoadShieldSettings();
    EXPECT_TRUE(monitor_.switches().startup && monitor_.switches().shieldsActive);
    EXPECT_EQ(log_, (std::vector<std::string>{"a apply startup", "b apply startup"}));
    RecordingWatches watches;
    monitor_.StartShields(watches);
    log_.clear();

    // Off and on again from the tray: the second toggle takes a fresh baseline.
    monitor_.OnTrayCommand(cmd::kTrayStartupShield);
    EXPECT_FALSE(monitor_.switches().startup);
    EXPECT_TRUE(log_.empty());
    const shields::SwitchChange on = monitor_.OnTrayCommand(cmd::kTrayStartupShield);
    EXPECT_TRUE(on.handled && on.after.startup);
    EXPECT_EQ(log_, (std::vector<std::string>{"a fresh baseline", "b fresh baseline"}));

    // The same through the settings, as after "Configure Shields".
    store_.SetSetting("strupshld", "0");
    monitor_.LoadShieldSettings();
    store_.SetSetting("strupshld", "1");
    log_.clear();
    monitor_.LoadShieldSettings();
    EXPECT_EQ(log_, (std::vector<std::string>{"a apply startup", "b apply startup",
                                              "a fresh baseline", "b fresh baseline"}));
    EXPECT_FALSE(monitor_.OnTrayCommand(cmd::kTrayExit).handled);
}

TEST_F(ShieldMonitorTest, NoticesGoToTheirShieldAndWaitWhileAnAlertIsOpen) {
    a_->message = app::WM_SHIELD_KEY_CHANGED;
    b_->message = app::WM_SHIELD_STARTUP_CHANGED;
    int depth = 0;
    int deepest = 0;
    // While a's alert is "open", the popup's message loop delivers more
    // notices: two from b (the same source twice) and one from a.
    a_->onNotice = [&](const shields::Notice& notice) {
        ++depth;
        deepest = std::max(deepest, depth);
        if (notice.wParam == 4) {
            monitor_.OnMessage(app::WM_SHIELD_STARTUP_CHANGED, 0);
            monitor_.OnMessage(app::WM_SHIELD_STARTUP_CHANGED, 0);
            monitor_.OnMessage(app::WM_SHIELD_KEY_CHANGED, 5);
        }
        --depth;
    };
    monitor_.OnMessage(app::WM_SHIELD_KEY_CHANGED, 4);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(log_, (std::vector<std::string>{"a notice 4", "b notice 0", "a notice 5"}));
    // Messages no shield owns are dropped.
    log_.clear();
    monitor_.OnMessage(app::WM_SHIELD_COOKIES_CHANGED, 0);
    EXPECT_TRUE(log_.empty());
}

}  // namespace
