// The hosts, favorites and cookie shields as the shield monitor runs them:
// notices go through CShieldMonitor, questions to a scripted popup, and the
// files live on a test machine's drive C.
#include "shields/places/PlaceShields.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/tests/support/TestSystem.h"
#include "refdb/ReferenceDatabase.h"
#include "settings/Messages.h"
#include "shields/ShieldMonitor.h"
#include "shields/tests/ScriptedPopup.h"

namespace {

constexpr const char* kHosts = "C:\\Windows\\system32\\drivers\\etc\\hosts";
constexpr const char* kFavorites = "C:\\Users\\user\\Favorites";
constexpr const char* kCookies = "C:\\Users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Cookies";

class Watches : public shields::WatchRequests {
  public:
    void WatchKey(const shields::KeyWatch& watch) override { keys.push_back(watch); }
    void WatchFolder(const shields::FolderWatch& watch) override { folders.push_back(watch); }
    const shields::FolderWatch* Find(std::uint32_t message) const {
        for (const auto& folder : folders) {
            if (folder.message == message)
                return &folder;
        }
        return nullptr;
    }
    std::vector<shields::KeyWatch> keys;
    std::vector<shields::FolderWatch> folders;
};

// The address is the "URL=" line, as the Internet Shortcut object reads it.
class UrlLineResolver : public shields::ShortcutResolver {
  public:
    explicit UrlLineResolver(platform::FileSystem& files) : files_(files) {}
    std::optional<std::string> ResolveShortcutUrl(std::string_view path) override {
        std::string contents;
        if (files_.ReadFile(path, &contents) != platform::kSuccess)
            return std::nullopt;
        const std::size_t at = contents.find("URL=");
        if (at == std::string::npos)
            return std::nullopt;
        const std::size_t end = contents.find_first_of("\r\n", at);
        return contents.substr(at + 4, end == std::string::npos ? end : end - at - 4);
    }

  private:
    platform::FileSystem& files_;
};

class PlaceShieldsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        store_.WriteDefaultSettings();
        for (const char* folder : {kFavorites, kCookies, "C:\\Windows\\system32\\drivers\\etc"})
            std::filesystem::create_directories(machine_.HostPath(folder));
        Write(kHosts, "# hosts\r\n127.0.0.1       localhost\r\n::1             localhost\r\n");
        refdb::SpywareEntry& entry = database_.entries().emplace_back();
        entry.name = "Snavrel";
        entry.cookies.push_back({"ads.snavrel.example", false, {}});
        entry.cookies.push_back({"track.example", false, {}});
        shields::ShieldServices& services = monitor_.services();
        services.database = &database_;
        services.shortcuts = &resolver_;
        services.registerFavorites = [this] { return registers_; };
        services.tellUser = [this](std::string_view message) { told_.emplace_back(message); };
    }
    // Only the three shields of this file, on; the others off.
    void Start(bool hideNotifications = false) {
        for (const char* name : {"ghmpg", "iehj", "rltime", "strupshld"})
            store_.SetSetting(name, "0");
        for (const char* name : {"gfv", "hsts", "cokieshld"})
            store_.SetSetting(name, "1");
        store_.SetSetting("hnt", hideNotifications ? "1" : "0");
        monitor_.LoadShieldSettings();
        monitor_.StartShields(watches_);
    }
    void Write(const std::string& path, std::string_view contents) {
        std::ofstream(machine_.HostPath(path), std::ios::binary) << contents;
    }
    void Append(const std::string& path, std::string_view contents) {
        std::ofstream(machine_.HostPath(path), std::ios::binary | std::ios::app) << contents;
    }
    std::string Read(const std::string& path) {
        std::string contents;
        EXPECT_EQ(machine_.files().ReadFile(path, &contents), platform::kSuccess);
        return contents;
    }
    bool Exists(const std::string& path) { return machine_.files().Exists(path); }
    std::string Shortcut(std::string_view name, std::string_view url) {
        const std::string path = std::string(kFavorites) + "\\" + std::string(name);
        Write(path, "[InternetShortcut]\r\nURL=" + std::string(url) + "\r\n");
        return path;
    }
    std::string Cookie(std::string_view site, int n = 1) {
        const std::string path = std::string(kCookies) + "\\user@" + std::string(site) + "[" +
                                 std::to_string(n) + "].txt";
        Write(path, "id\n1\n" + std::string(site) + "/\n");
        return path;
    }
    void Notice(std::uint32_t message) { monitor_.OnMessage(message, 0); }
    std::uint32_t Decision(const char* name) {
        return shields::RegistryCookieDecisions(machine_.registry()).Decision(name);
    }

    testsupport::TestSystem machine_;
    settings::SettingsStore store_{machine_.system()};
    refdb::ReferenceDatabase database_{machine_.system()};
    UrlLineResolver resolver_{machine_.files()};
    shieldstest::ScriptedPopup popup_;
    shields::CShieldMonitor monitor_{machine_.system(), popup_};
    Watches watches_;
    bool registers_ = true;
    std::vector<std::string> told_;
};

TEST_F(PlaceShieldsTest, WatchesTheHostsCookiesAndFavoritesFolders) {
    Start();
    const shields::FolderWatch* hosts = watches_.Find(app::WM_SHIELD_HOSTS_CHANGED);
    ASSERT_NE(hosts, nullptr);
    EXPECT_EQ(hosts->path, "C:\\Windows\\system32\\drivers\\etc");
    EXPECT_NE(hosts->filter & shields::kNotifyLastWrite, 0u);
    const shields::FolderWatch* cookies = watches_.Find(app::WM_SHIELD_COOKIES_CHANGED);
    ASSERT_NE(cookies, nullptr);
    EXPECT_EQ(cookies->path, kCookies);
    const shields::FolderWatch* favorites = watches_.Find(app::WM_SHIELD_FAVORITES_CHANGED);
    ASSERT_NE(favorites, nullptr);
    EXPECT_EQ(favorites->path, kFavorites);
    EXPECT_NE(favorites->filter & shields::kNotifyDirName, 0u);
    // Hosts before cookies before the Startup folders.
    EXPECT_LT(hosts->rank, cookies->rank);
    EXPECT_LT(cookies->rank, 3);
    EXPECT_TRUE(told_.empty());
}

TEST_F(PlaceShieldsTest, AnAddressLineIsAskedOnceAndNoTakesItOutKeepingEverythingElse) {
    Start();
    const std::string before = Read(kHosts);
    Append(kHosts, "\r\n10.6.6.6 bank.example\r\n# a note\n");
    popup_.Answer(false);
    Notice(app::WM_SHIELD_HOSTS_CHANGED);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(popup_.asked[0].title, "Hosts File Changed");
    EXPECT_EQ(popup_.asked[0].message,
              "An Attempt was made to add (10.6.6.6 bank.example) in Hosts File, Do you want to "
              "Authorize this addition?");
    // The blank line goes with the refused one; the comment stays with its
    // own line end.
    EXPECT_EQ(Read(kHosts), before + "# a note\n");
    EXPECT_FALSE(Exists(shields::HostsRewritePath(kHosts)));
    // The rewrite's own change is no new question.
    Notice(app::WM_SHIELD_HOSTS_CHANGED);
    EXPECT_EQ(popup_.asked.size(), 1u);
}

TEST_F(PlaceShieldsTest, YesKeepsTheLineAndEveryOtherNewOneAndCommentsAreNeverAsked) {
    Start();
    Append(kHosts, "# only a comment\r\n");
    Notice(app::WM_SHIELD_HOSTS_CHANGED);
    EXPECT_TRUE(popup_.asked.empty());

    Append(kHosts, "10.0.0.1 one.example\r\n10.0.0.2 two.example\r\n");
    const std::string written = Read(kHosts);
    popup_.Answer(true);
    Notice(app::WM_SHIELD_HOSTS_CHANGED);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_NE(popup_.asked[0].message.find("(10.0.0.1 one.example)"), std::string::npos);
    EXPECT_EQ(Read(kHosts), written);
    Notice(app::WM_SHIELD_HOSTS_CHANGED);
    EXPECT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(monitor_.alerts().last().text,
              "An Attempt was made to add (10.0.0.1 one.example) in Hosts File, You authorized "
              "the change.");
}

TEST_F(PlaceShieldsTest, HostsChangesWaitWhileTheShieldOrAllShieldsAreOff) {
    Start();
    monitor_.OnTrayCommand(app::commands::kTrayHostsShield);  // hosts off
    Append(kHosts, "10.1.1.1 while-off.example\r\n");
    Notice(app::WM_SHIELD_HOSTS_CHANGED);
    EXPECT_TRUE(popup_.asked.empty());
    // Turned on again: what came meanwhile is the new snapshot.
    monitor_.OnTrayCommand(app::commands::kTrayHostsShield);
    Notice(app::WM_SHIELD_HOSTS_CHANGED);
    EXPECT_TRUE(popup_.asked.empty());
    Append(kHosts, "10.1.1.2 after.example\r\n");
    Notice(app::WM_SHIELD_HOSTS_CHANGED);
    EXPECT_EQ(popup_.asked.size(), 1u);
}

TEST_F(PlaceShieldsTest, AHostsFileCreatedLaterIsWatchedAndOneThatCannotBeReadIsNot) {
    std::filesystem::remove(machine_.HostPath(kHosts));
    Start();
    ASSERT_NE(watches_.Find(app::WM_SHIELD_HOSTS_CHANGED), nullptr);
    Write(kHosts, "10.2.2.2 created.example\n");
    Notice(app::WM_SHIELD_HOSTS_CHANGED);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(Read(kHosts), "");

    // A hosts path that is a folder cannot be read: no watch.
    std::filesystem::remove(machine_.HostPath(kHosts));
    std::filesystem::create_directories(machine_.HostPath(kHosts));
    shields::CShieldMonitor other(machine_.system(), popup_);
    other.LoadShieldSettings();
    Watches watches;
    other.StartShields(watches);
    EXPECT_EQ(watches.Find(app::WM_SHIELD_HOSTS_CHANGED), nullptr);
}

TEST_F(PlaceShieldsTest, WithNotificationsHiddenANewHostsLineGoesWithoutAQuestion) {
    Start(true);
    const std::string before = Read(kHosts);
    Append(kHosts, "10.3.3.3 hidden.example\r\n");
    Notice(app::WM_SHIELD_HOSTS_CHANGED);
    EXPECT_TRUE(popup_.asked.empty());
    EXPECT_EQ(Read(kHosts), before);
}

// The shield as the monitor makes it, with a short delay so that the test
// sees the shortcut before and after its deletion.
class FavoritesDelayTest : public PlaceShieldsTest {
  protected:
    void UseDelay(std::chrono::milliseconds delay) {
        auto shield = std::make_unique<shields::FavoritesFolderShield>(monitor_.services(), delay);
        favorites_ = shield.get();
        std::vector<std::unique_ptr<shields::Shield>> list;
        list.push_back(std::move(shield));
        monitor_.SetShields(std::move(list));
    }
    shields::FavoritesFolderShield* favorites_ = nullptr;
};

TEST_F(FavoritesDelayTest, ARefusedShortcutIsAskedOnceWithItsAddressAndDeletedAfterTheDelay) {
    UseDelay(std::chrono::milliseconds(400));
    Start();
    const std::string link = Shortcut("Cheap pills.url", "http://pills.example/");
    popup_.Answer(false);
    const auto asked = std::chrono::steady_clock::now();
    Notice(app::WM_SHIELD_FAVORITES_CHANGED);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(popup_.asked[0].title, "Favorite Added");
    EXPECT_EQ(popup_.asked[0].message,
              "(http://pills.example/) has been added to your favorites list.  Do you authorize "
              "this addition?");
    // Still there right after the answer; further notices (the shell and
    // the folder watch both tell) ask nothing while it waits.
    EXPECT_TRUE(Exists(link));
    Notice(app::WM_SHIELD_FAVORITES_CHANGED);
    Notice(app::WM_SHIELD_FAVORITES_CHANGED);
    EXPECT_EQ(popup_.asked.size(), 1u);
    favorites_->favorites().WaitForDeletions();
    EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(400));
    EXPECT_FALSE(Exists(link));
    Notice(app::WM_SHIELD_FAVORITES_CHANGED);
    EXPECT_EQ(popup_.asked.size(), 1u);
}

TEST_F(FavoritesDelayTest, AFolderIsAcceptedSilentlyAndAnAcceptedShortcutStays) {
    UseDelay(std::chrono::milliseconds(10));
    Start();
    std::filesystem::create_directories(machine_.HostPath(std::string(kFavorites) + "\\Links"));
    Notice(app::WM_SHIELD_FAVORITES_CHANGED);
    EXPECT_TRUE(popup_.asked.empty());

    // Two at once: accepting the first rebuilds the list with both.
    const std::string news = Shortcut("News.url", "http://news.example/");
    const std::string mail = Shortcut("Mail.url", "http://mail.example/");
    popup_.Answer(true);
    Notice(app::WM_SHIELD_FAVORITES_CHANGED);
    EXPECT_EQ(popup_.asked.size(), 1u);
    Notice(app::WM_SHIELD_FAVORITES_CHANGED);
    EXPECT_EQ(popup_.asked.size(), 1u);
    favorites_->favorites().WaitForDeletions();
    EXPECT_TRUE(Exists(news));
    EXPECT_TRUE(Exists(mail));
}

TEST_F(FavoritesDelayTest, NothingIsAskedWhileTheFavoritesShieldIsOff) {
    UseDelay(std::chrono::milliseconds(10));
    Start();
    monitor_.OnTrayCommand(app::commands::kTrayFavoritesShield);
    Shortcut("Off.url", "http://off.example/");
    Notice(app::WM_SHIELD_FAVORITES_CHANGED);
    EXPECT_TRUE(popup_.asked.empty());
    // Turned on: that one is part of the list now.
    monitor_.OnTrayCommand(app::commands::kTrayFavoritesShield);
    Notice(app::WM_SHIELD_FAVORITES_CHANGED);
    EXPECT_TRUE(popup_.asked.empty());
}

TEST_F(PlaceShieldsTest, AFailedShellRegistrationIsToldAndTheOtherShieldsStillStart) {
    registers_ = false;
    Start();
    EXPECT_EQ(told_, std::vector<std::string>{"Could not install Favorites shield"});
    EXPECT_NE(watches_.Find(app::WM_SHIELD_HOSTS_CHANGED), nullptr);
    EXPECT_NE(watches_.Find(app::WM_SHIELD_COOKIES_CHANGED), nullptr);
}

TEST_F(PlaceShieldsTest, DatabaseCookiesAreAskedAndOthersNeverAre) {
    Start();
    const std::string other = Cookie("news.example");
    const std::string ads = Cookie("ads.snavrel.example");
    popup_.Answer(false);
    Notice(app::WM_SHIELD_COOKIES_CHANGED);
    ASSERT_EQ(popup_.asked.size(), 1u);
    EXPECT_EQ(popup_.asked[0].title, "New Cookie Added");
    EXPECT_EQ(popup_.asked[0].message,
              "An Attempt was made to add (ads.snavrel.example) Cookie, Do you want to "
              "Authorize this addition?");
    EXPECT_TRUE(popup_.asked[0].showCheckBox);
    EXPECT_FALSE(Exists(ads));
    EXPECT_TRUE(Exists(other));
    // No box ticked: nothing recorded, the next one is asked again.
    EXPECT_EQ(Decision("ads.snavrel.example"), shields::kCookieAsk);
    Cookie("ads.snavrel.example", 2);
    Notice(app::WM_SHIELD_COOKIES_CHANGED);
    EXPECT_EQ(popup_.asked.size(), 2u);
}

TEST_F(PlaceShieldsTest, TheTickedBoxRecordsTheAnswerAndTheDecisionHoldsNextTime) {
    Start();
    popup_.Answer(false, true);  // No, and don't ask again: blocked
    popup_.Answer(true, true);   // Yes, and don't ask again: ignored
    const std::string ads = Cookie("ads.snavrel.example");
    const std::string track = Cookie("track.example");
    Notice(app::WM_SHIELD_COOKIES_CHANGED);
    ASSERT_EQ(popup_.asked.size(), 2u);
    EXPECT_EQ(Decision("ads.snavrel.example"), shields::kCookieBlock);
    EXPECT_EQ(Decision("track.example"), shields::kCookieIgnore);
    EXPECT_FALSE(Exists(ads));
    EXPECT_TRUE(Exists(track));

    const std::string again = Cookie("ads.snavrel.example", 3);
    std::filesystem::remove(machine_.HostPath(track));
    Notice(app::WM_SHIELD_COOKIES_CHANGED);  // the list forgets track.example
    const std::string back = Cookie("track.example", 4);
    Notice(app::WM_SHIELD_COOKIES_CHANGED);
    EXPECT_EQ(popup_.asked.size(), 2u);
    EXPECT_FALSE(Exists(again));
    EXPECT_TRUE(Exists(back));
}

TEST_F(PlaceShieldsTest, HiddenNotificationsBlockADatabaseCookieFromThenOn) {
    Start(true);
    const std::string ads = Cookie("ads.snavrel.example");
    Notice(app::WM_SHIELD_COOKIES_CHANGED);
    EXPECT_TRUE(popup_.asked.empty());
    EXPECT_FALSE(Exists(ads));
    EXPECT_EQ(Decision("ads.snavrel.example"), shields::kCookieBlock);
}

// The "Ignored Cookies" window edits the store the shield was given.
TEST_F(PlaceShieldsTest, TheShieldRecordsIntoTheStoreItWasGiven) {
    struct Recording : shields::RegistryCookieDecisions {
        using RegistryCookieDecisions::RegistryCookieDecisions;
        bool Record(std::string_view name, std::uint32_t decision) override {
            recorded.emplace_back(name);
            return RegistryCookieDecisions::Record(name, decision);
        }
        std::vector<std::string> recorded;
    } shared(machine_.registry());
    monitor_.services().cookieDecisions = &shared;
    Start();
    popup_.Answer(true, true);
    Cookie("track.example");
    Notice(app::WM_SHIELD_COOKIES_CHANGED);
    EXPECT_EQ(shared.recorded, std::vector<std::string>{"track.example"});
}

TEST_F(PlaceShieldsTest, AuditNamesWhatIsNewInEachPlace) {
    Start();
    Append(kHosts, "10.4.4.4 audit.example\r\n");
    const std::string link = Shortcut("Audit.url", "http://audit.example/");
    const std::string cookie = Cookie("track.example");
    bool hosts = false, favorites = false, cookies = false;
    for (const shields::PlaceStatus& place : monitor_.Audit()) {
        if (place.shield == "hsts") {
            hosts = true;
            EXPECT_EQ(place.differences, std::vector<std::string>{"10.4.4.4 audit.example"});
        } else if (place.shield == "gfv") {
            favorites = true;
            EXPECT_EQ(place.differences, std::vector<std::string>{link});
        } else if (place.shield == "cokieshld") {
            cookies = true;
            EXPECT_EQ(place.differences, std::vector<std::string>{cookie});
        } else {
            continue;
        }
        EXPECT_TRUE(place.watched);
        EXPECT_FALSE(place.matches);
    }
    EXPECT_TRUE(hosts && favorites && cookies);
}

}  // namespace
