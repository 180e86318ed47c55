// The answer to a launch query over a loaded Reference database and the
// user's lists in a test registry.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/tests/support/TestSystem.h"
#include "realtime/LaunchDecision.h"
#include "registry/RegistryHelper.h"
#include "settings/SettingsStore.h"
#include "settings/Strings.h"

namespace {

using realtime::DecideLaunch;
using realtime::LaunchTarget;

constexpr const char* kMarkup = R"(<?xml version="1.0"?>
<BX TOTAL="3">
<SW NAME="Sneaky Toolbar"><FILES>
  <FILE NAME="sneak.exe" PATH="C:\Program Files\Sneaky\"/>
  <FILE NAME="helper.dll" PATH="C:\Program Files\Sneaky"/>
</FILES></SW>
<SW NAME="Dialer Pro"><FILES>
  <FILE NAME="DIAL.EXE" PATH="C:\Dialer"/>
  <FILE NAME="sneak.exe" PATH="C:\Program Files\Sneaky"/>
</FILES></SW>
<SW NAME="Popper"><FILES>
  <FILE NAME="pop.exe" PATH="C:\Users\user\AppData\Pop"/>
</FILES></SW>
</BX>
)";

// What AuthorizeChange does for a launch: records the question and answers
// as scripted; with notifications hidden it refuses without asking.
struct ScriptedAlert {
    bool refuse = false;
    bool tick = false;
    bool hidden = false;
    std::vector<std::string> questions;

    realtime::AuthorizeLaunch Callback() {
        return [this](const std::string& question, int* dontAskAgain) {
            if (hidden)
                return true;
            questions.push_back(question);
            if (tick)
                *dontAskAgain = 1;
            return refuse;
        };
    }
};

class LaunchDecisionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(store_.WriteDefaultSettings());
        ASSERT_TRUE(db_.LoadMarkup(kMarkup, "")) << db_.LastError();
        index_.Rebuild(db_.executables());
    }
    int Decide(std::string_view caller, std::string_view exe) {
        return DecideLaunch(caller, exe, index_, lists_, alert_.Callback());
    }
    std::string List(const char* name) {
        std::string value;
        return lists_.Read(name, &value) ? value : "<unreadable>";
    }

    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
    refdb::ReferenceDatabase db_{machine_.system()};
    realtime::LaunchIndex index_;
    realtime::ExeLists lists_{machine_.system()};
    ScriptedAlert alert_;
};

TEST_F(LaunchDecisionTest, AnUnknownExecutableIsAllowedWithoutAsking) {
    EXPECT_EQ(Decide("C:\\Windows\\cmd.exe", "C:\\Windows\\notepad.exe"), 1);
    // A known name in another folder, and a known folder with another name.
    EXPECT_EQ(Decide("C:\\Windows\\cmd.exe", "C:\\Elsewhere\\sneak.exe"), 1);
    EXPECT_EQ(Decide("C:\\Windows\\cmd.exe", "C:\\Program Files\\Sneaky\\other.exe"), 1);
    // Only executables are looked up.
    EXPECT_EQ(Decide("C:\\Windows\\cmd.exe", "C:\\Program Files\\Sneaky\\helper.dll"), 1);
    EXPECT_TRUE(alert_.questions.empty());
    EXPECT_EQ(List(realtime::kBlockList), "<unreadable>");
}

TEST_F(LaunchDecisionTest, AKnownExecutableAsksWithTheFirstEntryInDatabaseOrder) {
    alert_.refuse = true;
    EXPECT_EQ(Decide("C:\\Windows\\cmd.exe", "c:\\program files\\SNEAKY\\Sneak.EXE"), 0);
    alert_.refuse = false;
    EXPECT_EQ(Decide("  C:\\Windows\\cmd.exe ", "C:\\Dialer\\dial.exe"), 1);
    ASSERT_EQ(alert_.questions.size(), 2u);
    EXPECT_EQ(alert_.questions[0],
              "(Sneaky Toolbar) is trying to run an executable named (Sneak.EXE), Do you want to "
              "run it?");
    EXPECT_EQ(alert_.questions[1],
              "(Dialer Pro) is trying to run an executable named (dial.exe), Do you want to run "
              "it?");
    // Without the check box nothing is remembered.
    EXPECT_EQ(List(realtime::kBlockList), "<unreadable>");
    EXPECT_EQ(List(realtime::kIgnoreList), "<unreadable>");
}

TEST_F(LaunchDecisionTest, TrailingBackslashesAndCaseDoNotMatterOnEitherSide) {
    const LaunchTarget target =
        realtime::ResolveTarget("x", "C:\\Program Files\\Sneaky\\\\sneak.exe");
    EXPECT_EQ(target.name, "sneak.exe");
    EXPECT_EQ(target.folder, "C:\\Program Files\\Sneaky");
    EXPECT_EQ(target.FullPath(), "C:\\Program Files\\Sneaky\\sneak.exe");
    alert_.refuse = true;
    // The record's folder ends in a backslash, the launch's does twice.
    EXPECT_EQ(Decide("x", "C:\\PROGRAM FILES\\SNEAKY\\\\sneak.exe"), 0);
    EXPECT_EQ(alert_.questions.size(), 1u);
}

TEST_F(LaunchDecisionTest, TheShellIsJudgedByWhatItWasAskedToStart) {
    alert_.refuse = true;
    EXPECT_EQ(Decide(" \"C:\\Dialer\\DIAL.exe\" ", "C:\\Windows\\Explorer.EXE"), 0);
    ASSERT_EQ(alert_.questions.size(), 1u);
    EXPECT_NE(alert_.questions[0].find("named (DIAL.exe)"), std::string::npos);
    // Explorer itself is not looked up; the caller is only read for it.
    EXPECT_EQ(Decide("C:\\Windows\\notepad.exe", "C:\\Windows\\explorer.exe"), 1);
    EXPECT_EQ(Decide("C:\\Dialer\\dial.exe", "C:\\Windows\\notepad.exe"), 1);
    EXPECT_EQ(alert_.questions.size(), 1u);
    const LaunchTarget bare = realtime::ResolveTarget("\"pop.exe\"", "explorer.exe");
    EXPECT_EQ(bare.name, "pop.exe");
    EXPECT_EQ(bare.folder, "");
}

TEST_F(LaunchDecisionTest, TheCheckBoxRemembersTheAnswerAndLaterLaunchesAreSilent) {
    alert_.tick = true;
    EXPECT_EQ(Decide("x", "C:\\Dialer\\dial.exe"), 1);
    EXPECT_EQ(List(realtime::kIgnoreList), "C:\\Dialer\\dial.exe");
    alert_.refuse = true;
    EXPECT_EQ(Decide("x", "C:\\Program Files\\Sneaky\\sneak.exe"), 0);
    EXPECT_EQ(List(realtime::kBlockList), "C:\\Program Files\\Sneaky\\sneak.exe");
    ASSERT_EQ(alert_.questions.size(), 2u);

    // Whatever the alert would say now, the lists answer first.
    alert_.refuse = true;
    EXPECT_EQ(Decide("x", "c:\\dialer\\DIAL.EXE"), 1);
    alert_.refuse = false;
    EXPECT_EQ(Decide("x", "C:\\Program Files\\Sneaky\\sneak.exe"), 0);
    EXPECT_EQ(alert_.questions.size(), 2u);
}

TEST_F(LaunchDecisionTest, APathInBothListsIsBlocked) {
    ASSERT_TRUE(store_.SetSetting(realtime::kIgnoreList, "C:\\Dialer\\dial.exe"));
    ASSERT_TRUE(store_.SetSetting(realtime::kBlockList, "??C:\\Dialer\\dial.exe?"));
    EXPECT_EQ(Decide("x", "C:\\Dialer\\dial.exe"), 0);
    EXPECT_TRUE(alert_.questions.empty());
}

TEST_F(LaunchDecisionTest, ListMembershipIsTheWholePathNotAPart) {
    ASSERT_TRUE(store_.SetSetting(realtime::kBlockList, "C:\\Dialer\\dial.exe.old?C:\\Dialer"));
    alert_.refuse = false;
    EXPECT_EQ(Decide("x", "C:\\Dialer\\dial.exe"), 1);
    EXPECT_EQ(alert_.questions.size(), 1u);
}

TEST_F(LaunchDecisionTest, HiddenNotificationsBlockWithoutChangingTheLists) {
    ASSERT_TRUE(store_.SetSetting(realtime::kIgnoreList, "C:\\Dialer\\dial.exe"));
    alert_.hidden = true;
    alert_.tick = true;
    EXPECT_EQ(Decide("x", "C:\\Program Files\\Sneaky\\sneak.exe"), 0);
    EXPECT_EQ(Decide("x", "C:\\Dialer\\dial.exe"), 1);
    EXPECT_EQ(Decide("x", "C:\\Windows\\notepad.exe"), 1);
    EXPECT_EQ(List(realtime::kBlockList), "<unreadable>");
    EXPECT_EQ(List(realtime::kIgnoreList), "C:\\Dialer\\dial.exe");
}

TEST_F(LaunchDecisionTest, ListsLongerThanASettingBufferKeepEveryEntry) {
    // Sixty paths of 40-odd bytes: far beyond the 259 bytes a setting holds.
    std::string expected;
    for (int i = 0; i < 60; ++i) {
        const std::string path = "C:\\Program Files\\Vendor" + std::to_string(i) + "\\tool.exe";
        ASSERT_TRUE(lists_.Append(realtime::kIgnoreList, path));
        if (!expected.empty())
            expected += '?';
        expected += path;
    }
    EXPECT_GT(expected.size(), 2000u);
    EXPECT_EQ(List(realtime::kIgnoreList), expected);
    EXPECT_TRUE(lists_.Contains(realtime::kIgnoreList, "C:\\Program Files\\Vendor0\\tool.exe"));
    EXPECT_TRUE(lists_.Contains(realtime::kIgnoreList, "c:\\program files\\vendor59\\TOOL.exe"));
    EXPECT_FALSE(lists_.Contains(realtime::kIgnoreList, "C:\\Program Files\\Vendor60\\tool.exe"));

    // A long list still decides, and a remembered answer lands at its end.
    alert_.tick = true;
    EXPECT_EQ(Decide("x", "C:\\Dialer\\dial.exe"), 1);
    EXPECT_EQ(List(realtime::kIgnoreList), expected + "?C:\\Dialer\\dial.exe");
    EXPECT_EQ(Decide("x", "C:\\Dialer\\dial.exe"), 1);
    EXPECT_EQ(alert_.questions.size(), 1u);
}

TEST_F(LaunchDecisionTest, AListThatIsNotTextIsReplacedByTheNewPath) {
    CRegistryHelper helper(machine_.registry());
    ASSERT_TRUE(helper.SetDword(platform::kHkeyCurrentUser, settings::strings::kSettingsKey,
                                realtime::kBlockList, 7));
    EXPECT_FALSE(lists_.Contains(realtime::kBlockList, "7"));
    alert_.refuse = true;
    alert_.tick = true;
    EXPECT_EQ(Decide("x", "C:\\Dialer\\dial.exe"), 0);
    EXPECT_EQ(List(realtime::kBlockList), "C:\\Dialer\\dial.exe");
}

TEST(FilterModulePathTest, TheModuleLiesBesideTheProgram) {
    EXPECT_EQ(realtime::FilterModulePath("C:\\Program Files\\Brindlex\\"),
              "C:\\Program Files\\Brindlex\\butils.dll");
    EXPECT_EQ(realtime::FilterModulePath("C:\\Brindlex\\\\"), "C:\\Brindlex\\butils.dll");
    EXPECT_EQ(realtime::FilterModulePath("C:\\Brindlex"), "C:\\Brindlex\\butils.dll");
}

TEST_F(LaunchDecisionTest, TheIndexFollowsAReloadedDatabase) {
    ASSERT_TRUE(db_.LoadMarkup(R"(<?xml version="1.0"?>
<BX TOTAL="1"><SW NAME="Other"><FILES><FILE NAME="x.exe" PATH="C:\X"/></FILES></SW></BX>
)",
                               ""));
    index_.Rebuild(db_.executables());
    EXPECT_EQ(index_.size(), 1u);
    alert_.refuse = true;
    EXPECT_EQ(Decide("x", "C:\\Dialer\\dial.exe"), 1);
    EXPECT_EQ(Decide("x", "C:\\X\\x.exe"), 0);
}

}  // namespace
