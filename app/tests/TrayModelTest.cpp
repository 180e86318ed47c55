#include "app/TrayModel.h"

#include <gtest/gtest.h>

#include <string>

#include "app/tests/ScriptedPrompts.h"
#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"

namespace {

using app::TrayModel;
using removal::Answer;

// A notification area holding at most our one icon, as the shell does.
class FakeShell : public app::TrayShell {
  public:
    bool AddIcon(std::string_view tooltip) override {
        ++adds;
        if (!accepting || present)
            return false;
        present = true;
        shownTip = tooltip;
        return true;
    }
    bool DeleteIcon() override {
        ++deletes;
        bool had = present;
        present = false;
        return had;
    }
    bool ModifyIcon(unsigned fields, std::string_view tooltip) override {
        ++modifies;
        if (!present)
            return false;
        if ((fields & app::kTrayFieldTip) != 0)
            shownTip = tooltip;
        return true;
    }
    // Explorer restarting: the new taskbar knows no icons.
    void Restart() { present = false; }

    bool accepting = true;
    bool present = false;
    std::string shownTip;
    int adds = 0, deletes = 0, modifies = 0;
};

class TrayModelTest : public ::testing::Test {
  protected:
    // As the main window creates it: added, then hidden while the window is
    // visible.
    void CreateLikeTheMainWindow() {
        ASSERT_TRUE(tray.CreateTray(10, app::kTrayTooltip, false));
        ASSERT_TRUE(tray.HideTrayIcon());
        ASSERT_FALSE(shell.present);
    }

    FakeShell shell;
    TrayModel tray{shell};
};

TEST_F(TrayModelTest, TheIconIsShownOnlyWhileTheWindowIsInTheTray) {
    CreateLikeTheMainWindow();
    EXPECT_FALSE(tray.IsIconShown());
    ASSERT_TRUE(tray.ShowTrayIcon());  // going to the tray
    EXPECT_TRUE(shell.present);
    EXPECT_EQ(shell.shownTip, "Brindlex 5.0");
    EXPECT_TRUE(tray.IsIconShown());
    EXPECT_TRUE(tray.ShowTrayIcon());  // already shown: no second icon
    EXPECT_EQ(shell.adds, 2);

    // A double click restores the window and hides the icon.
    EXPECT_EQ(app::OnTrayMouse(5, app::kMouseLeftDoubleClick),
              app::TrayMouseAction::kDefaultCommand);
    EXPECT_EQ(app::kTrayDefaultCommand, 32787);
    ASSERT_TRUE(tray.HideTrayIcon());
    EXPECT_FALSE(shell.present);
    EXPECT_FALSE(tray.IsIconShown());

    EXPECT_EQ(app::OnTrayMouse(5, app::kMouseRightButtonUp), app::TrayMouseAction::kShowMenu);
    EXPECT_EQ(app::OnTrayMouse(6, app::kMouseRightButtonUp), app::TrayMouseAction::kNone);

    TrayModel old(shell);
    EXPECT_FALSE(old.CreateTray(3, app::kTrayTooltip, false));
    EXPECT_FALSE(old.ShowTrayIcon());
    EXPECT_FALSE(old.IsIconShown());
}

TEST_F(TrayModelTest, ANewTaskbarBringsTheIconBackOnlyWhileInTheTray) {
    CreateLikeTheMainWindow();
    shell.Restart();
    tray.OnTaskbarCreated();
    EXPECT_FALSE(shell.present);  // the window is visible: no icon wanted

    tray.ShowTrayIcon();
    shell.Restart();
    tray.OnTaskbarCreated();
    EXPECT_TRUE(shell.present);
    EXPECT_TRUE(tray.IsIconShown());
    EXPECT_FALSE(tray.showPending());
}

TEST_F(TrayModelTest, AFailedAddIsRetriedOnTheNextShellNotice) {
    CreateLikeTheMainWindow();
    shell.accepting = false;
    EXPECT_FALSE(tray.ShowTrayIcon());
    EXPECT_TRUE(tray.showPending());
    EXPECT_TRUE(tray.IsIconShown());  // the window is in the tray all the same

    tray.OnTaskbarCreated();
    EXPECT_FALSE(shell.present);
    shell.accepting = true;
    tray.OnWorkAreaChanged();
    EXPECT_TRUE(shell.present);
    EXPECT_FALSE(tray.showPending());

    // A work-area change with the icon in place adds no second one.
    int adds = shell.adds;
    tray.OnWorkAreaChanged();
    EXPECT_EQ(shell.adds, adds);
    EXPECT_TRUE(shell.present);
}

TEST_F(TrayModelTest, RestoringTheWindowCancelsAPendingIcon) {
    CreateLikeTheMainWindow();
    shell.accepting = false;
    tray.ShowTrayIcon();
    ASSERT_TRUE(tray.showPending());
    tray.HideTrayIcon();
    EXPECT_FALSE(tray.showPending());
    EXPECT_FALSE(tray.IsIconShown());
    shell.accepting = true;
    tray.OnTaskbarCreated();
    EXPECT_FALSE(shell.present);
}

TEST_F(TrayModelTest, TooltipsAreCutToSixtyThreeUnitsAndSentOnlyWhenShown) {
    EXPECT_EQ(app::CutTooltip(std::string(100, 'x')), std::string(63, 'x'));
    std::string accents;
    for (int i = 0; i < 70; ++i)
        accents += "\xC3\xA9";  // U+00E9: one unit, two bytes
    EXPECT_EQ(app::CutTooltip(accents), accents.substr(0, 126));
    // A character outside the basic plane takes two units and is not split.
    std::string emoji = std::string(62, 'a') + "\xF0\x9F\x9B\xA1";
    EXPECT_EQ(app::CutTooltip(emoji), std::string(62, 'a'));
    EXPECT_EQ(app::CutTooltip(std::string(61, 'a') + "\xF0\x9F\x9B\xA1"),
              std::string(61, 'a') + "\xF0\x9F\x9B\xA1");

    CreateLikeTheMainWindow();
    EXPECT_TRUE(tray.SetTrayTooltip(app::kShieldsDisabledTooltip));
    EXPECT_EQ(shell.modifies, 0);
    tray.ShowTrayIcon();
    EXPECT_EQ(shell.shownTip, "Brindlex Shields Disabled");
    EXPECT_TRUE(tray.SetTrayTooltip(std::string(80, 'y')));
    EXPECT_EQ(shell.shownTip, std::string(63, 'y'));
}

TEST(TrayMenuTest, ShieldItemsSayWhatAClickWouldDo) {
    app::ShieldSwitches on{true, true, true, true, true, true, true, true, false};
    std::vector<app::TrayMenuItem> menu = app::TrayMenu(on);
    ASSERT_EQ(menu.size(), 18u);
    const int commands[] = {32787, 0,     32776, 0,     32773, 0,     32777, 32779, 32780,
                            32799, 32771, 32778, 32782, 0,     32781, 32788, 0,     32775};
    for (std::size_t i = 0; i < menu.size(); ++i)
        EXPECT_EQ(menu[i].command, commands[i]) << i;
    EXPECT_EQ(menu[0].text, "Open Brindlex");
    EXPECT_EQ(menu[4].text, "Disable Shields");
    EXPECT_EQ(menu[10].text, "Disable Real-Time Protection");
    EXPECT_EQ(menu[14].text, "Hide Notifications");
    EXPECT_EQ(menu[17].text, "E&xit");

    app::ShieldSwitches off;
    off.hideNotifications = true;
    menu = app::TrayMenu(off);
    EXPECT_EQ(menu[4].text, "Enable Shields");
    EXPECT_EQ(menu[12].text, "Enable Startup Shield");
    EXPECT_EQ(menu[14].text, "Show Notifications");
}

class TrayExitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CRegistryHelper(host.registry())
                        .OpenOrCreateKey(platform::kHkeyCurrentUser, "Software\\Brindlex5"));
        settings.SetSetting("Schedule Scan", "0");
    }
    testsupport::TestSystem host;
    settings::SettingsStore settings{host.system()};
    apptest::ScriptedPrompts prompts;
};

TEST_F(TrayExitTest, AScheduledScanIsNamedInTheQuestion) {
    settings.SetSetting("Schedule Scan", "1");
    settings.SetSetting("NextScan", "Monday 100% at 10:00 %s");
    prompts.answers = {Answer::kCancel, Answer::kOk};
    EXPECT_FALSE(app::ConfirmTrayExit(settings, true, prompts));
    EXPECT_TRUE(app::ConfirmTrayExit(settings, false, prompts));
    ASSERT_EQ(prompts.shown.size(), 2u);
    const apptest::ScriptedPrompts::Shown& asked = prompts.shown[0];
    EXPECT_NE(asked.text.find("scheduled for Monday 100% at 10:00 %s."), std::string::npos);
    EXPECT_EQ(asked.caption, "Brindlex 5.0");
    EXPECT_EQ(asked.buttons, removal::Buttons::kOkCancel);
}

TEST_F(TrayExitTest, ShieldsAskAndNothingEndsAtOnce) {
    EXPECT_TRUE(app::ConfirmTrayExit(settings, false, prompts));
    EXPECT_TRUE(prompts.shown.empty());

    prompts.answers = {Answer::kNo, Answer::kYes};
    EXPECT_FALSE(app::ConfirmTrayExit(settings, true, prompts));
    EXPECT_TRUE(app::ConfirmTrayExit(settings, true, prompts));
    EXPECT_EQ(prompts.shown.at(0).caption, "Brindlex");
    EXPECT_EQ(prompts.shown.at(0).buttons, removal::Buttons::kYesNo);
}

TEST(TrayAreaTest, TheNotificationAreaWithoutTheClockOrAFallback) {
    app::TrayAreaSources sources;
    sources.workArea = {0, 0, 1024, 738};
    sources.notifyArea = app::Rect{900, 740, 1020, 766};
    sources.clock = app::Rect{970, 742, 1018, 764};
    EXPECT_EQ(app::ComputeTrayArea(sources), (app::Rect{900, 740, 970, 766}));

    // A vertical taskbar stacks the clock above the icons.
    sources.notifyArea = app::Rect{0, 500, 60, 700};
    sources.clock = app::Rect{2, 502, 58, 540};
    EXPECT_EQ(app::ComputeTrayArea(sources), (app::Rect{0, 540, 60, 700}));

    sources.notifyArea.reset();
    sources.taskbar = app::Rect{0, 738, 1024, 768};
    sources.taskbarEdge = app::TaskbarEdge::kBottom;
    EXPECT_EQ(app::ComputeTrayArea(sources), (app::Rect{924, 738, 1008, 768}));
    sources.taskbar = app::Rect{0, 0, 60, 768};
    sources.taskbarEdge = app::TaskbarEdge::kLeft;
    EXPECT_EQ(app::ComputeTrayArea(sources), (app::Rect{0, 668, 60, 752}));

    sources.taskbar.reset();
    EXPECT_EQ(app::ComputeTrayArea(sources), (app::Rect{874, 708, 1024, 738}));
}

}  // namespace
