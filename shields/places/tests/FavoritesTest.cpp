#include "shields/places/Favorites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/ScopedKey.h"
#include "platform/tests/support/TestSystem.h"
#include "shields/places/tests/OrderBlob.h"

namespace {

using shields::testing::OrderBlob;

constexpr const char* kFolder = "C:\\Users\\user\\Favorites";

// Answers with the "URL=" line of the shortcut file, as the Internet
// Shortcut object does for a well-formed one.
class UrlLineResolver : public shields::ShortcutResolver {
  public:
    explicit UrlLineResolver(platform::FileSystem& files) : files_(files) {}
    std::optional<std::string> ResolveShortcutUrl(std::string_view path) override {
        ++calls;
        std::string contents;
        if (files_.ReadFile(path, &contents) != platform::kSuccess)
            return std::nullopt;
        const std::size_t at = contents.find("URL=");
        if (at == std::string::npos)
            return std::nullopt;
        const std::size_t end = contents.find_first_of("\r\n", at);
        return contents.substr(at + 4, end == std::string::npos ? end : end - at - 4);
    }
    int calls = 0;

  private:
    platform::FileSystem& files_;
};

class FavoritesTest : public ::testing::Test {
  protected:
    void SetUp() override { std::filesystem::create_directories(host.HostPath(kFolder)); }

    std::string Shortcut(std::string_view name, std::string_view url) {
        const std::string path = std::string(kFolder) + "\\" + std::string(name);
        std::ofstream(host.HostPath(path), std::ios::binary)
            << "[InternetShortcut]\r\nURL=" << url << "\r\n";
        return path;
    }
    void SetOrder(const std::vector<std::uint8_t>& blob) {
        platform::HKey key = platform::kNullKey;
        ASSERT_EQ(
            host.registry().CreateKey(platform::kHkeyCurrentUser, shields::kFavoritesMenuOrderKey,
                                      0, platform::kKeyAllAccess, &key, nullptr),
            platform::kSuccess);
        platform::ScopedKey owned(host.registry(), key);
        ASSERT_EQ(host.registry().SetValue(key, "Order", platform::kRegBinary, blob.data(),
                                           static_cast<std::uint32_t>(blob.size())),
                  platform::kSuccess);
    }
    static std::vector<std::string> Paths(const shields::FavoritesList& list) {
        std::vector<std::string> paths;
        for (const auto& item : list)
            paths.push_back(item.path);
        return paths;
    }
    shields::FavoritesShield::Ask Answer(bool refuse) {
        return [this, refuse](const std::string& url) {
            asked.push_back(url);
            return refuse;
        };
    }

    testsupport::TestSystem host;
    UrlLineResolver resolver{host.files()};
    std::vector<std::string> asked;
};

TEST_F(FavoritesTest, ListHasMenuOrderFirstThenTheRestOfTheFolder) {
    Shortcut("b.url", "http://b.example/");
    Shortcut("a.url", "http://a.example/");
    std::filesystem::create_directories(host.HostPath(std::string(kFolder) + "\\Links"));
    std::ofstream(host.HostPath(std::string(kFolder) + "\\desktop.INI")) << "[.ShellClassInfo]";
    SetOrder(OrderBlob()
                 .Plain(1, OrderBlob::kLink | OrderBlob::kUnicode, u"b.url")
                 .Plain(0, 0, u"Links")
                 .Bytes());

    shields::FavoritesList list;
    ASSERT_TRUE(shields::BuildFavoritesList(
        host.registry(), host.files(), shields::kFavoritesMenuOrderKey, kFolder + std::string("\\"),
        shields::OrderNameForm::kPlain, &list, &resolver));
    ASSERT_EQ(Paths(list), (std::vector<std::string>{std::string(kFolder) + "\\Links",
                                                     std::string(kFolder) + "\\b.url",
                                                     std::string(kFolder) + "\\a.url"}));
    EXPECT_FALSE(list[0].isLink);
    EXPECT_EQ(list[0].url, "");
    EXPECT_TRUE(list[1].isLink);
    EXPECT_EQ(list[1].url, "http://b.example/");
    EXPECT_EQ(list[2].url, "http://a.example/");

    // Without a resolver no address is read.
    resolver.calls = 0;
    ASSERT_TRUE(shields::BuildFavoritesList(host.registry(), host.files(),
                                            shields::kFavoritesMenuOrderKey, kFolder,
                                            shields::OrderNameForm::kPlain, &list, nullptr));
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1].url, "");
    EXPECT_EQ(resolver.calls, 0);
}

TEST_F(FavoritesTest, WithoutMenuOrderOrWithAnEmptyOneTheFolderIsStillListed) {
    Shortcut("only.url", "http://only.example/");
    shields::FavoritesList list;
    ASSERT_TRUE(shields::BuildFavoritesList(host.registry(), host.files(),
                                            shields::kFavoritesMenuOrderKey, kFolder,
                                            shields::OrderNameForm::kPlain, &list, &resolver));
    EXPECT_EQ(Paths(list), std::vector<std::string>{std::string(kFolder) + "\\only.url"});

    SetOrder(OrderBlob().Bytes());
    ASSERT_TRUE(shields::BuildFavoritesList(host.registry(), host.files(),
                                            shields::kFavoritesMenuOrderKey, kFolder,
                                            shields::OrderNameForm::kPlain, &list, &resolver));
    EXPECT_EQ(list.size(), 1u);

    EXPECT_FALSE(shields::BuildFavoritesList(
        host.registry(), host.files(), shields::kFavoritesMenuOrderKey,
        "C:\\Users\\nobody\\Favorites", shields::OrderNameForm::kPlain, &list, &resolver));
    EXPECT_TRUE(list.empty());
}

TEST_F(FavoritesTest, NewShortcutIsAskedAboutWithItsAddressAndDeletedAfterNo) {
    using namespace std::chrono_literals;
    shields::FavoritesShield shield(host.registry(), host.files(), resolver, 50ms);
    shield.SetFolder(kFolder, shields::OrderNameForm::kPlain);
    Shortcut("kept.url", "http://kept.example/");
    ASSERT_TRUE(shield.TakeFavoritesList());

    const std::string planted = Shortcut("Cheap pills.url", "http://pills.example/");
    shield.CheckFavorites(Answer(true));
    EXPECT_EQ(asked, std::vector<std::string>{"http://pills.example/"});
    EXPECT_TRUE(shield.IsPending(planted));
    EXPECT_TRUE(host.files().Exists(planted));

    // Notices before the deletion ran ask nothing more about it.
    shield.CheckFavorites(Answer(true));
    shield.CheckFavorites(Answer(true));
    EXPECT_EQ(asked.size(), 1u);

    shield.WaitForDeletions();
    EXPECT_FALSE(host.files().Exists(planted));
    EXPECT_FALSE(shield.IsPending(planted));
    EXPECT_TRUE(host.files().Exists(std::string(kFolder) + "\\kept.url"));
    shield.CheckFavorites(Answer(true));
    EXPECT_EQ(asked.size(), 1u);
}

TEST_F(FavoritesTest, AcceptingOneNewFavoriteAcceptsEveryOtherNewOne) {
    shields::FavoritesShield shield(host.registry(), host.files(), resolver);
    shield.SetFolder(kFolder, shields::OrderNameForm::kPlain);
    ASSERT_TRUE(shield.TakeFavoritesList());
    Shortcut("one.url", "http://one.example/");
    Shortcut("two.url", "http://two.example/");
    shield.CheckFavorites(Answer(false));
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(shield.list().size(), 2u);
    EXPECT_FALSE(shield.IsPending(std::string(kFolder) + "\\one.url"));
    shield.CheckFavorites(Answer(true));
    EXPECT_EQ(asked.size(), 1u);
}

TEST_F(FavoritesTest, EveryRefusedShortcutIsAskedAboutAndDeleted) {
    using namespace std::chrono_literals;
    shields::FavoritesShield shield(host.registry(), host.files(), resolver, 20ms);
    shield.SetFolder(kFolder, shields::OrderNameForm::kPlain);
    ASSERT_TRUE(shield.TakeFavoritesList());
    const std::string first = Shortcut("first.url", "http://first.example/");
    const std::string second = Shortcut("second.url", "http://second.example/");
    shield.CheckFavorites(Answer(true));
    EXPECT_EQ(asked, (std::vector<std::string>{"http://first.example/", "http://second.example/"}));
    shield.WaitForDeletions();
    EXPECT_FALSE(host.files().Exists(first));
    EXPECT_FALSE(host.files().Exists(second));
}

TEST_F(FavoritesTest, FolderComesWithoutAddressAndARefusedShortcutWrittenAgainIsAskedAgain) {
    using namespace std::chrono_literals;
    shields::FavoritesShield shield(host.registry(), host.files(), resolver, 20ms);
    shield.SetFolder(kFolder, shields::OrderNameForm::kPlain);
    ASSERT_TRUE(shield.TakeFavoritesList());
    const std::string planted = Shortcut("ad.url", "http://ad.example/");
    std::filesystem::create_directories(host.HostPath(std::string(kFolder) + "\\New folder"));

    // The alert accepts an empty address without showing anything.
    auto alert = [&](const std::string& url) {
        asked.push_back(url);
        return !url.empty();
    };
    shield.CheckFavorites(alert);
    EXPECT_EQ(asked, (std::vector<std::string>{"http://ad.example/", ""}));
    shield.WaitForDeletions();
    EXPECT_FALSE(host.files().Exists(planted));
    EXPECT_TRUE(host.files().IsDirectory(std::string(kFolder) + "\\New folder"));

    // The folder's acceptance rebuilt the list while the refused shortcut
    // still existed; it must not count as known when it comes back.
    Shortcut("ad.url", "http://ad.example/");
    shield.CheckFavorites(alert);
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked.back(), "http://ad.example/");
}

TEST_F(FavoritesTest, ReadOnlyRefusedShortcutIsDeletedAndDestructionDoesNotWaitTheDelay) {
    const std::string planted = std::string(kFolder) + "\\locked.url";
    {
        shields::FavoritesShield shield(host.registry(), host.files(), resolver,
                                        std::chrono::hours(1));
        shield.SetFolder(kFolder, shields::OrderNameForm::kPlain);
        ASSERT_TRUE(shield.TakeFavoritesList());
        Shortcut("locked.url", "http://locked.example/");
        ASSERT_EQ(host.files().SetAttributes(planted, platform::kAttrReadOnly), platform::kSuccess);
        shield.CheckFavorites(Answer(true));
        EXPECT_TRUE(host.files().Exists(planted));
    }
    EXPECT_FALSE(host.files().Exists(planted));
}

}  // namespace
