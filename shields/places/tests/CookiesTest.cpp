#include "shields/places/Cookies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/tests/support/TestSystem.h"
#include "shields/places/tests/FaultyFileSystem.h"

namespace {

constexpr const char* kFolder = "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Cookies";

class CookiesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(host.HostPath(kFolder));
        shield.SetFolder(kFolder);
        shield.SetDatabaseCookieNames({"tracker.example", "ads.example"});
    }

    std::string Cookie(std::string_view name) {
        const std::string path = std::string(kFolder) + "\\" + std::string(name);
        std::ofstream(host.HostPath(path)) << "id\n1\n" << name << "/\n";
        return path;
    }
    // Answers every question with `refuse`, ticking the box when `tick`.
    shields::CookieShield::Ask Answer(bool refuse, bool tick = false) {
        return [this, refuse, tick](const std::string& name, int* dontAskAgain) {
            asked.push_back(name);
            if (tick)
                *dontAskAgain = 1;
            return refuse;
        };
    }

    testsupport::TestSystem host;
    shields::RegistryCookieDecisions decisions{host.registry()};
    shields::CookieShield shield{host.files(), decisions};
    std::vector<std::string> asked;
};

TEST(CookieNameTest, SiteBetweenTheLastAtSignAndTheLastBracket) {
    EXPECT_EQ(shields::CookieName("C:\\Cookies\\user@ads.example[2].txt"), "ads.example");
    EXPECT_EQ(shields::CookieName("C:\\Cookies\\me@you@ads.example[1][3].txt"), "ads.example[1]");
    // Without a bracket nothing is cut; without an at sign the path stays.
    EXPECT_EQ(shields::CookieName("C:\\Cookies\\user@index.dat"), "index.dat");
    EXPECT_EQ(shields::CookieName("C:\\Cookies\\plain.txt"), "C:\\Cookies\\plain.txt");
    EXPECT_EQ(shields::CookieName(""), "");
}

TEST(CookieNameTest, DatabaseNamesCoverEveryEntry) {
    testsupport::TestSystem host;
    refdb::ReferenceDatabase database(host.system());
    auto cookie = [](std::string name) {
        refdb::CookieItem item;
        item.name = std::move(name);
        return item;
    };
    database.entries().emplace_back();
    database.entries().back().cookies.push_back(cookie("one.example"));
    database.entries().emplace_back();
    database.entries().emplace_back();
    database.entries().back().cookies.push_back(cookie("two.example"));
    database.entries().back().cookies.push_back(cookie("three.example"));
    EXPECT_EQ(shields::DatabaseCookieNames(database),
              (std::vector<std::string>{"one.example", "two.example", "three.example"}));
}

TEST_F(CookiesTest, NewCookiesAreTheFilesOfNamesNotSeenBefore) {
    Cookie("user@old.example[1].txt");
    std::filesystem::create_directories(host.HostPath(std::string(kFolder) + "\\sub@dir[1]"));
    shield.TakeCookieList();
    EXPECT_EQ(shield.cookieList().size(), 1u);
    // Another file of a known name is no new cookie.
    Cookie("user@OLD.example[2].txt");
    const std::string fresh = Cookie("user@new.example[1].txt");
    EXPECT_EQ(shield.FindNewCookies(), std::vector<std::string>{fresh});
}

TEST_F(CookiesTest, OnlyDatabaseCookiesAreAskedAboutAndNoDeletesThem) {
    shield.TakeCookieList();
    const std::string other = Cookie("user@news.example[1].txt");
    const std::string listed = Cookie("user@Tracker.Example[1].txt");
    const auto outcome = shield.CheckCookies(false, Answer(true));
    EXPECT_EQ(asked, std::vector<std::string>{"Tracker.Example"});
    EXPECT_EQ(outcome.deleted, 1);
    EXPECT_FALSE(host.files().Exists(listed));
    EXPECT_TRUE(host.files().Exists(other));
    // Refused without the box: nothing is recorded.
    EXPECT_EQ(decisions.Decision("tracker.example"), shields::kCookieAsk);
}

TEST_F(CookiesTest, DecisionsBlockAndKeepWithoutAsking) {
    shield.TakeCookieList();
    ASSERT_TRUE(decisions.Record("tracker.example", shields::kCookieBlock));
    ASSERT_TRUE(decisions.Record("ads.example", shields::kCookieIgnore));
    const std::string blocked = Cookie("user@tracker.example[1].txt");
    const std::string kept = Cookie("user@ads.example[1].txt");
    const auto outcome = shield.CheckCookies(false, Answer(false));
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(outcome.deleted, 1);
    EXPECT_FALSE(host.files().Exists(blocked));
    EXPECT_TRUE(host.files().Exists(kept));
    // The kept one is known now and stays quiet.
    EXPECT_TRUE(shield.FindNewCookies().empty());
}

TEST_F(CookiesTest, TickedBoxRecordsTheAnswer) {
    shield.TakeCookieList();
    Cookie("user@ads.example[1].txt");
    const std::string refused = Cookie("user@tracker.example[1].txt");
    int question = 0;
    shield.CheckCookies(false, [&](const std::string&, int* dontAskAgain) {
        *dontAskAgain = 1;
        return question++ == 1;  // Yes to the first, No to the second
    });
    EXPECT_FALSE(host.files().Exists(refused));
    EXPECT_EQ(decisions.Decision("ads.example"), shields::kCookieIgnore);
    EXPECT_EQ(decisions.Decision("TRACKER.example"), shields::kCookieBlock);
}

TEST_F(CookiesTest, HiddenNotificationsBlockTheCookieFromThenOn) {
    shield.TakeCookieList();
    const std::string path = Cookie("user@ads.example[1].txt");
    // Hidden notifications make the alert refuse without a popup.
    const auto outcome = shield.CheckCookies(true, Answer(true));
    EXPECT_EQ(outcome.deleted, 1);
    EXPECT_FALSE(host.files().Exists(path));
    EXPECT_EQ(decisions.Decision("ads.example"), shields::kCookieBlock);
}

TEST_F(CookiesTest, PassThatDeletedLooksAgainAndAsksAgainAboutCookiesAcceptedWithoutTheBox) {
    shield.TakeCookieList();
    Cookie("user@ads.example[1].txt");
    Cookie("user@tracker.example[1].txt");
    // Yes to ads, No to tracker, never the box.
    const auto outcome = shield.CheckCookies(false, [&](const std::string& name, int*) {
        asked.push_back(name);
        return name == "tracker.example";
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"ads.example", "tracker.example", "ads.example"}));
    EXPECT_EQ(outcome.passes, 2);
    EXPECT_EQ(shield.FindNewCookies(), std::vector<std::string>{});
}

TEST_F(CookiesTest, UndeletableCookieEndsTheNoticeInsteadOfLoopingAndReadOnlyOnesGo) {
    shield.TakeCookieList();
    ASSERT_TRUE(decisions.Record("tracker.example", shields::kCookieBlock));
    // A read-only cookie is deleted all the same.
    const std::string readOnly = Cookie("user@tracker.example[1].txt");
    ASSERT_EQ(host.files().SetAttributes(readOnly, platform::kAttrReadOnly), platform::kSuccess);
    EXPECT_EQ(shield.CheckCookies(false, Answer(true)).deleted, 1);
    EXPECT_FALSE(host.files().Exists(readOnly));

    // One that another program holds open stays, and the notice ends.
    shields::testing::FaultyFileSystem faulty(host.files());
    faulty.failDelete = platform::kErrorSharingViolation;
    shields::CookieShield locked(faulty, decisions);
    locked.SetFolder(kFolder);
    locked.SetDatabaseCookieNames({"tracker.example"});
    locked.TakeCookieList();
    const std::string stuck = Cookie("user@tracker.example[2].txt");
    const auto outcome = locked.CheckCookies(false, Answer(true));
    EXPECT_TRUE(host.files().Exists(stuck));
    EXPECT_EQ(outcome.deleted, 0);
    EXPECT_EQ(outcome.passes, 1);
    EXPECT_TRUE(asked.empty());
}

}  // namespace
