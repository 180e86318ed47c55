#include "app/dialogs/IgnoredCookies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/tests/support/TestSystem.h"
#include "registry/RegistryHelper.h"
#include "shields/places/Cookies.h"

namespace {

class IgnoredCookiesTest : public ::testing::Test {
  protected:
    testsupport::TestSystem host;
    app::RegistryCookieDecisions store{host.registry()};
    app::IgnoredCookiesList list{store};
    CRegistryHelper helper{host.registry()};

    std::uint32_t Decision(std::string_view name) {
        return helper.QueryDword(platform::kHkeyCurrentUser, app::kCookieDecisionsKey, name, 99);
    }
    void Check(std::string_view name) {
        for (auto& row : list.rows()) {
            if (row.name == name)
                row.checked = true;
        }
    }
};

TEST_F(IgnoredCookiesTest, ListsNothingWithoutTheCookiesKey) {
    list.Refill();
    EXPECT_TRUE(list.rows().empty());
    EXPECT_TRUE(store.List().empty());
}

TEST_F(IgnoredCookiesTest, ShowsEveryRecordedCookieWithItsStatusInStorageOrder) {
    ASSERT_TRUE(store.Record("zeta.example", app::kCookieIgnore));
    ASSERT_TRUE(store.Record("alpha.example", app::kCookieBlock));
    ASSERT_TRUE(store.Record("odd.example", 7));
    // A value of another type (written by hand) is listed without a status.
    ASSERT_TRUE(helper.SetString(platform::kHkeyCurrentUser, app::kCookieDecisionsKey,
                                 "text.example", "2"));
    list.Refill();
    ASSERT_EQ(list.rows().size(), 4u);
    EXPECT_EQ(list.rows()[0].name, "zeta.example");
    EXPECT_EQ(list.rows()[0].status, "Cookie Being Ignored");
    EXPECT_EQ(list.rows()[1].name, "alpha.example");
    EXPECT_EQ(list.rows()[1].status, "Cookie Being Blocked");
    EXPECT_EQ(list.rows()[2].status, "");
    EXPECT_EQ(list.rows()[3].name, "text.example");
    EXPECT_EQ(list.rows()[3].status, "");
    for (const auto& row : list.rows())
        EXPECT_FALSE(row.checked);
}

TEST_F(IgnoredCookiesTest, IgnoreAndBlockChangeOnlyCheckedRowsAndRefill) {
    store.Record("a.example", app::kCookieBlock);
    store.Record("b.example", app::kCookieBlock);
    store.Record("c.example", app::kCookieIgnore);
    list.Refill();

    Check("a.example");
    EXPECT_EQ(list.IgnoreChecked(), "Selected Cookies Ignore");
    EXPECT_EQ(Decision("a.example"), app::kCookieIgnore);
    EXPECT_EQ(Decision("b.example"), app::kCookieBlock);
    ASSERT_EQ(list.rows().size(), 3u);
    EXPECT_EQ(list.rows()[0].status, "Cookie Being Ignored");
    EXPECT_FALSE(list.rows()[0].checked);

    Check("c.example");
    Check("a.example");
    EXPECT_EQ(list.BlockChecked(), "Selected Cookies Blocked");
    EXPECT_EQ(Decision("a.example"), app::kCookieBlock);
    EXPECT_EQ(Decision("c.example"), app::kCookieBlock);
    EXPECT_EQ(list.rows()[2].status, "Cookie Being Blocked");

    // Nothing checked: nothing changes, the message is still given.
    EXPECT_EQ(list.IgnoreChecked(), "Selected Cookies Ignore");
    EXPECT_EQ(Decision("b.example"), app::kCookieBlock);
}

TEST_F(IgnoredCookiesTest, RemoveForgetsCheckedCookiesSoTheyAreAskedAgain) {
    store.Record("keep.example", app::kCookieIgnore);
    store.Record("drop.example", app::kCookieBlock);
    list.Refill();
    Check("drop.example");
    EXPECT_EQ(list.RemoveChecked(), "Selected Cookie Data Removed");
    EXPECT_EQ(Decision("drop.example"), 99u);  // gone: the shield asks again
    EXPECT_EQ(Decision("keep.example"), app::kCookieIgnore);
    auto records = store.List();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "keep.example");
}

// The window and the cookie shield share one store: what the shield records
// is listed, and what the window forgets is asked about again.
TEST_F(IgnoredCookiesTest, ListsWhatTheShieldDecidedAndRemoveMakesItAskAgain) {
    const std::string folder = "C:\\Users\\user\\Cookies";
    std::filesystem::create_directories(host.HostPath(folder));
    auto plant = [&](std::string_view name) {
        std::ofstream(host.HostPath(folder + "\\" + std::string(name))) << "id\n1\n";
    };
    shields::CookieShield shield(host.files(), store);
    shield.SetFolder(folder);
    shield.SetDatabaseCookieNames({"ads.example", "tracker.example"});
    shield.TakeCookieList();
    plant("user@ads.example[1].txt");
    plant("user@tracker.example[1].txt");
    // Yes with the box ticked to ads, No with the box ticked to tracker.
    shield.CheckCookies(false, [](const std::string& name, int* dontAskAgain) {
        *dontAskAgain = 1;
        return name == "tracker.example";
    });

    list.Refill();
    ASSERT_EQ(list.rows().size(), 2u);
    EXPECT_EQ(list.rows()[0].name, "ads.example");
    EXPECT_EQ(list.rows()[0].status, "Cookie Being Ignored");
    EXPECT_EQ(list.rows()[1].name, "tracker.example");
    EXPECT_EQ(list.rows()[1].status, "Cookie Being Blocked");

    Check("ads.example");
    list.RemoveChecked();
    std::vector<std::string> asked;
    // The site's cookie expires, then comes back.
    std::filesystem::remove(host.HostPath(folder + "\\user@ads.example[1].txt"));
    shield.TakeCookieList();
    plant("user@ads.example[2].txt");
    shield.CheckCookies(false, [&](const std::string& name, int*) {
        asked.push_back(name);
        return false;
    });
    EXPECT_EQ(asked, std::vector<std::string>{"ads.example"});
}

}  // namespace
