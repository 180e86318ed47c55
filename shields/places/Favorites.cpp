#include "shields/places/Favorites.h"

#include <algorithm>
#include <system_error>

#include "platform/ScopedKey.h"
#include "shields/places/RemoveFile.h"

namespace shields {

namespace {

// More than any menu order needs; a bigger value is not read at all.
constexpr std::uint32_t kMaxOrderSize = 16u << 20;

std::vector<std::uint8_t> ReadOrder(platform::Registry& registry, std::string_view menuOrderKey) {
    platform::ScopedKey key;
    if (platform::ScopedKey::Open(registry, platform::kHkeyCurrentUser, menuOrderKey,
                                  platform::kKeyQueryValue, &key) != platform::kSuccess) {
        return {};
    }
    std::vector<std::uint8_t> data;
    // The value may grow between the size query and the read.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::uint32_t size = 0;
        if (registry.QueryValue(key.get(), kMenuOrderValue, nullptr, nullptr, &size) !=
                platform::kSuccess ||
            size == 0 || size > kMaxOrderSize) {
            return {};
        }
        data.resize(size);
        std::uint32_t read = size;
        const platform::Status status =
            registry.QueryValue(key.get(), kMenuOrderValue, nullptr, data.data(), &read);
        if (status == platform::kSuccess) {
            data.resize(std::min(read, size));
            return data;
        }
        if (status != platform::kErrorMoreData)
            return {};
    }
    return {};
}

}  // namespace

bool BuildFavoritesList(platform::Registry& registry, platform::FileSystem& files,
                        std::string_view menuOrderKey, std::string_view favoritesFolder,
                        OrderNameForm form, FavoritesList* list, ShortcutResolver* resolver) {
    list->clear();
    const std::string folder = text::WithoutTrailingBackslash(favoritesFolder);
    if (folder.empty())
        return false;
    auto resolve = [resolver](FavoriteItem& item) {
        if (item.isLink && resolver != nullptr)
            item.url = resolver->ResolveShortcutUrl(item.path).value_or("");
    };
    std::set<std::string, text::LessNoCase> listed;
    for (OrderItem& ordered : ReadMenuOrder(ReadOrder(registry, menuOrderKey), form)) {
        FavoriteItem item{folder + "\\" + ordered.name, ordered.isLink, {}};
        if (!listed.insert(item.path).second)
            continue;
        resolve(item);
        list->push_back(std::move(item));
    }
    std::unique_ptr<platform::FileSearch> search = files.Find(folder + "\\*.*");
    platform::FindData found;
    bool any = false;
    while (search && search->Next(found)) {
        any = true;
        if (found.name == "." || found.name == ".." ||
            text::EqualsNoCase(found.name, "Desktop.ini"))
            continue;
        FavoriteItem item{folder + "\\" + found.name, !found.IsDirectory(), {}};
        if (!listed.insert(item.path).second)
            continue;
        resolve(item);
        list->push_back(std::move(item));
    }
    // An empty folder still reports "." and ".."; a missing one reports
    // nothing.
    if (!any && (!search || search->Error() != platform::kErrorFileNotFound)) {
        list->clear();
        return false;
    }
    return true;
}

FavoritesShield::FavoritesShield(platform::Registry& registry, platform::FileSystem& files,
                                 ShortcutResolver& resolver, std::chrono::milliseconds deleteDelay)
    : registry_(registry), files_(files), resolver_(resolver), deleteDelay_(deleteDelay) {}

FavoritesShield::~FavoritesShield() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& deleter : deleters_)
        deleter.join();
}

void FavoritesShield::SetFolder(std::string favoritesFolder, OrderNameForm form) {
    folder_ = text::WithoutTrailingBackslash(favoritesFolder);
    form_ = form;
}

FavoritesList FavoritesShield::BuildCurrent() const {
    FavoritesList built;
    BuildFavoritesList(registry_, files_, kFavoritesMenuOrderKey, folder_, form_, &built,
                       &resolver_);
    return built;
}

bool FavoritesShield::TakeFavoritesList() {
    return BuildFavoritesList(registry_, files_, kFavoritesMenuOrderKey, folder_, form_, &list_,
                              &resolver_);
}

bool FavoritesShield::IsPending(std::string_view path) const {
    std::lock_guard lock(mutex_);
    return pending_.count(path) != 0;
}

void FavoritesShield::CheckFavorites(const Ask& ask) {
    const FavoritesList current = BuildCurrent();
    for (const FavoriteItem& item : current) {
        const bool known = std::any_of(list_.begin(), list_.end(), [&](const FavoriteItem& old) {
            return text::EqualsNoCase(old.path, item.path);
        });
        if (known)
            continue;
        {
            // Marked before the question: the popup lets further notices
            // through, and they must not ask about the same entry again.
            std::lock_guard lock(mutex_);
            if (!pending_.insert(item.path).second)
                return;
        }
        if (ask(item.url)) {
            refused_.insert(item.path);
            StartDeletion(item.path);
            continue;
        }
        {
            std::lock_guard lock(mutex_);
            pending_.erase(item.path);
        }
        refused_.erase(item.path);
        TakeFavoritesList();
        // A refused entry may still exist while it waits for its deletion; it
        // is no known favorite, so should it come back it is asked about
        // again.
        std::erase_if(
            list_, [this](const FavoriteItem& listed) { return refused_.count(listed.path) != 0; });
    }
}

void FavoritesShield::StartDeletion(std::string path) {
    try {
        deleters_.emplace_back(&FavoritesShield::DeleteRefusedFavorite, this, path);
    } catch (const std::system_error&) {
        // No thread to wait on: the refused shortcut goes at once instead.
        FinishDeletion(path);
    }
}

void FavoritesShield::DeleteRefusedFavorite(std::string path) {
    {
        std::unique_lock lock(mutex_);
        wake_.wait_for(lock, deleteDelay_, [this] { return stopping_; });
    }
    FinishDeletion(path);
}

void FavoritesShield::FinishDeletion(const std::string& path) {
    // Repeated while it succeeds, in case the writer created it twice; the
    // bound keeps a file system that always reports success from spinning.
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (RemoveRefusedFile(files_, path) != platform::kSuccess)
            break;
    }
    std::lock_guard lock(mutex_);
    pending_.erase(path);
    wake_.notify_all();
}

void FavoritesShield::WaitForDeletions() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return pending_.empty(); });
}

}  // namespace shields
