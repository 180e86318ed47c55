#pragma once
// The favorites shield: the entries of the Favorites folder (in the
// browser's menu order where it kept one), which of them are new, and the
// delayed deletion of a refused shortcut.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "shields/places/MenuOrder.h"

namespace shields {

struct FavoriteItem {
    std::string path;  // the Favorites folder, "\", the entry's name
    bool isLink = false;
    std::string url;  // empty when not resolved
};
using FavoritesList = std::vector<FavoriteItem>;

// Reads the target address of an Internet shortcut file.
class ShortcutResolver {
  public:
    virtual ~ShortcutResolver() = default;
    virtual std::optional<std::string> ResolveShortcutUrl(std::string_view path) = 0;
};

// The entries in menu order from the "Order" value of `menuOrderKey` (under
// HKEY_CURRENT_USER), then every other entry of the folder in listing order;
// "Desktop.ini" is no favorite. Links get their address from `resolver`
// when one is given. A missing or unreadable "Order" value only loses the
// menu order: the folder is listed all the same. False (list empty) when
// the folder cannot be listed.
bool BuildFavoritesList(platform::Registry& registry, platform::FileSystem& files,
                        std::string_view menuOrderKey, std::string_view favoritesFolder,
                        OrderNameForm form, FavoritesList* list, ShortcutResolver* resolver);

class FavoritesShield {
  public:
    // Asks about one new favorite by its address; true when the user refused
    // it. An empty address is accepted without a question by the caller.
    using Ask = std::function<bool(const std::string& url)>;
    static constexpr std::chrono::milliseconds kDeleteDelay{2000};

    FavoritesShield(platform::Registry& registry, platform::FileSystem& files,
                    ShortcutResolver& resolver,
                    std::chrono::milliseconds deleteDelay = kDeleteDelay);
    // Deletions still waiting are carried out at once.
    ~FavoritesShield();
    FavoritesShield(const FavoritesShield&) = delete;
    FavoritesShield& operator=(const FavoritesShield&) = delete;

    void SetFolder(std::string favoritesFolder, OrderNameForm form);
    const std::string& folder() const { return folder_; }
    // Rebuilds the favorites list from the folder as it is now.
    bool TakeFavoritesList();
    // Asks about every entry that is new since the list was taken: an
    // accepted one rebuilds the list, a refused one is deleted after the
    // delay on a thread of its own. A notice about an entry whose deletion
    // is still waiting ends the check at once.
    void CheckFavorites(const Ask& ask);
    bool IsPending(std::string_view path) const;
    // Blocks until every started deletion has run.
    void WaitForDeletions();

    const FavoritesList& list() const { return list_; }

  private:
    FavoritesList BuildCurrent() const;
    void StartDeletion(std::string path);
    // The deletion thread: works on its own copy of the path.
    void DeleteRefusedFavorite(std::string path);
    void FinishDeletion(const std::string& path);

    platform::Registry& registry_;
    platform::FileSystem& files_;
    ShortcutResolver& resolver_;
    const std::chrono::milliseconds deleteDelay_;
    std::string folder_;
    OrderNameForm form_ = OrderNameForm::kPlain;
    FavoritesList list_;
    // Entries the user refused; used on the window's thread only.
    std::set<std::string, text::LessNoCase> refused_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::set<std::string, text::LessNoCase> pending_;
    std::vector<std::thread> deleters_;
};

}  // namespace shields
