// `AuthorizeChange`: the texts of each kind, hidden notifications, the
// record of the last alert and its repetition.
#include <gtest/gtest.h>

#include "shields/Alerts.h"
#include "shields/tests/ScriptedPopup.h"

namespace {

using shields::AlertKind;

class AlertsTest : public ::testing::Test {
  protected:
    shields::ShieldSwitches switches_;
    shieldstest::ScriptedPopup popup_;
    shields::ShieldAlerts alerts_{popup_, switches_};
};

TEST_F(AlertsTest, HomePageRefusalIsRecordedWithBaselineAndNewPage) {
    popup_.Answer(false);
    EXPECT_TRUE(alerts_.AuthorizeChange("http://bad.example/", AlertKind::HomePageChanged, nullptr,
                                        "about:blank"));
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(popup_.asked[0].title, "Home Page Changed");
    EXPECT_EQ(popup_.asked[0].message,
              "An Attempt was made to change your home page from (about:blank) to "
              "(http://bad.example/), Do you Authorize this change?");
    EXPECT_FALSE(popup_.asked[0].notifyOnly);
    EXPECT_FALSE(popup_.asked[0].showCheckBox);
    EXPECT_EQ(alerts_.last().title, "Home Page Changed");
    EXPECT_EQ(alerts_.last().text,
              "An Attempt was made to change your home page from (about:blank) to "
              "(http://bad.example/), You did not authorize the change.");
}

TEST_F(AlertsTest, EachKindHasItsTitleQuestionAndCheckBox) {
    struct Case {
        AlertKind kind;
        const char* title;
        const char* question;
        const char* record;
        bool checkBox;
    };
    const Case cases[] = {
        {AlertKind::FavoriteAdded, "Favorite Added",
         "(X) has been added to your favorites list.  Do you authorize this addition?",
         "(X) had been added to your favorites list. You authorized the change.", false},
        {AlertKind::SearchPageChanged, "IE Settings Changed",
         "An Attempt was made to change your IE Settings from (B) to (X), Do you want to "
         "Authorize this change?",
         "An Attempt was made to change your IE Settings from (B) to (X), You authorized the "
         "change.",
         false},
        {AlertKind::LocalPageChanged, "IE Settings Changed",
         "An Attempt was made to change your IE Settings from (B) to (X), Do you want to "
         "Authorize this change?",
         "An Attempt was made to change your IE Settings from (B) to (X), You authorized the "
         "change.",
         false},
        {AlertKind::SearchBarChanged, "IE Settings Changed",
         "An Attempt was made to change your IE Settings from (B) to (X), Do you want to "
         "Authorize this change?",
         "An Attempt was made to change your IE Settings from (B) to (X), You authorized the "
         "change.",
         false},
        {AlertKind::HostsEntryAdded, "Hosts File Changed",
         "An Attempt was made to add (X) in Hosts File, Do you want to Authorize this addition?",
         "An Attempt was made to add (X) in Hosts File, You authorized the change.", false},
        {AlertKind::ExecutableLaunch, "Executable Trying to Run", "X",
         "(X)You authorized the change.", true},
        {AlertKind::CookieAdded, "New Cookie Added",
         "An Attempt was made to add (X) Cookie, Do you want to Authorize this addition?",
         "An Attempt was made to add (X) Cookie, You authorized the change.", true},
        {AlertKind::StartupProgramAdded, "New Startup Program Added",
         "An Attempt was made to Add (X) to startup programs, Do you Authorize this change?",
         "An Attempt was made to Add (X) to startup Programs, You authorized the change.", false},
    };
    for (const Case& c : cases) {
        popup_.Answer(true, true);
        int dontAsk = 0;
        EXPECT_FALSE(alerts_.AuthorizeChange("X", c.kind, &dontAsk, "B")) << c.title;
        EXPECT_EQ(popup_.asked.back().title, c.title);
        EXPECT_EQ(popup_.asked.back().message, c.question);
        EXPECT_EQ(popup_.asked.back().showCheckBox, c.checkBox) << c.title;
        EXPECT_EQ(alerts_.last().text, c.record);
        // Only a shown and ticked box sets the flag.
        EXPECT_EQ(dontAsk, c.checkBox ? 1 : 0) << c.title;
    }
    EXPECT_EQ(alerts_.shownCount(), 8);
}

TEST_F(AlertsTest, ACheckBoxLeftEmptyLeavesTheFlag) {
    popup_.Answer(false, false);
    int dontAsk = 7;
    EXPECT_TRUE(alerts_.AuthorizeChange("c", AlertKind::CookieAdded, &dontAsk));
    EXPECT_EQ(dontAsk, 7);
    // Without a flag to set, a ticked box is harmless.
    popup_.Answer(false, true);
    EXPECT_TRUE(alerts_.AuthorizeChange("c", AlertKind::CookieAdded));
}

TEST_F(AlertsTest, PercentSignsInTheSubjectAreKept) {
    popup_.Answer(true);
    alerts_.AuthorizeChange("run %s %d", AlertKind::StartupProgramAdded);
    EXPECT_EQ(popup_.asked.back().message,
              "An Attempt was made to Add (run %s %d) to startup programs, Do you Authorize this "
              "change?");
}

TEST_F(AlertsTest, AnEmptySubjectIsAcceptedWithoutAPopup) {
    EXPECT_FALSE(alerts_.AuthorizeChange("", AlertKind::SearchBarChanged, nullptr, "old"));
    EXPECT_TRUE(popup_.asked.empty());
    EXPECT_TRUE(alerts_.last().text.empty());
}

TEST_F(AlertsTest, HiddenNotificationsRefuseSilentlyAndRepeatTheAlertFromBefore) {
    // Nothing to repeat before the first alert.
    alerts_.RepeatLastNotification();
    EXPECT_TRUE(popup_.notified.empty());

    popup_.Answer(true);
    alerts_.AuthorizeChange("a.lnk", AlertKind::StartupProgramAdded);
    const shields::LastNotification before = alerts_.last();

    switches_.hideNotifications = true;
    EXPECT_TRUE(alerts_.AuthorizeChange("b.lnk", AlertKind::StartupProgramAdded));
    // Even an empty subject is refused while hidden.
    EXPECT_TRUE(alerts_.AuthorizeChange("", AlertKind::SearchBarChanged));
    EXPECT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(alerts_.last().text, before.text);

    alerts_.RepeatLastNotification();
    ASSERT_EQ(popup_.notified.size(), 1u);
    EXPECT_TRUE(popup_.notified[0].notifyOnly);
    EXPECT_EQ(popup_.notified[0].title, "New Startup Program Added");
    EXPECT_EQ(popup_.notified[0].message,
              "An Attempt was made to Add (a.lnk) to startup Programs, You authorized the change.");
}

}  // namespace
