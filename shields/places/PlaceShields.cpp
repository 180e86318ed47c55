#include "shields/places/PlaceShields.h"

#include <algorithm>

#include "platform/Text.h"
#include "settings/Messages.h"

namespace shields {

namespace {

bool TurnedOn(const ShieldSwitches& before, const ShieldSwitches& after,
              bool ShieldSwitches::*flag) {
    const bool was = before.shieldsActive && before.*flag;
    const bool is = after.shieldsActive && after.*flag;
    return !was && is;
}

}  // namespace

// The hosts file.

bool HostsFileShield::Active() const {
    return services_.switches.shieldsActive && services_.switches.hosts;
}

void HostsFileShield::Start(WatchRequests& watches) {
    platform::System& system = services_.system;
    const std::string path = HostsFilePath(system.registry, system.environment);
    if (path.empty())
        return;
    // A hosts file that does not exist yet is an empty one: a program that
    // creates it is asked about its lines. One that exists but cannot be
    // read is not watched.
    if (!hosts_.TakeHostsSnapshot(path) && system.files.Exists(path))
        return;
    watches.WatchFolder({HostsFolder(system.registry, system.environment),
                         kNotifyLastWrite | kNotifyFileName, app::WM_SHIELD_HOSTS_CHANGED,
                         kHostsWatchRank});
}

bool HostsFileShield::OnNotice(const Notice& notice) {
    if (notice.message != app::WM_SHIELD_HOSTS_CHANGED)
        return false;
    CheckHostsFile();
    return true;
}

HostsShield::Outcome HostsFileShield::CheckHostsFile() {
    if (!Active() || hosts_.path().empty())
        return HostsShield::Outcome::kNothingNew;
    return hosts_.CheckHostsFile([this](const std::string& line) {
        return services_.alerts.AuthorizeChange(line, AlertKind::HostsEntryAdded);
    });
}

void HostsFileShield::OnSwitchesChanged(const ShieldSwitches& before, const ShieldSwitches& after) {
    if (TurnedOn(before, after, &ShieldSwitches::hosts) && !hosts_.path().empty())
        hosts_.TakeHostsSnapshot(std::string(hosts_.path()));
}

void HostsFileShield::Audit(std::vector<PlaceStatus>& out) {
    PlaceStatus place;
    place.shield = "hsts";
    place.place = hosts_.path();
    place.watched = Active() && !hosts_.path().empty();
    place.differences = hosts_.FindNewLines();
    place.matches = place.differences.empty();
    out.push_back(std::move(place));
}

// The Favorites folder.

FavoritesFolderShield::FavoritesFolderShield(ShieldServices& services,
                                             std::chrono::milliseconds deleteDelay)
    : services_(services),
      favorites_(services.system.registry, services.system.files,
                 services.shortcuts != nullptr ? *services.shortcuts : noAddresses_, deleteDelay) {}

bool FavoritesFolderShield::Active() const {
    return services_.switches.shieldsActive && services_.switches.favorites;
}

void FavoritesFolderShield::InstallFavoritesShield() {
    // The systems this program runs on store the menu order's names once
    // (the two-name form was Windows XP's and Server 2003's).
    favorites_.SetFolder(
        services_.system.environment.ShellFolderPath(platform::ShellFolder::kFavorites),
        OrderNameForm::kPlain);
    favorites_.TakeFavoritesList();
    if (services_.registerFavorites && !services_.registerFavorites() && services_.tellUser)
        services_.tellUser(kFavoritesInstallFailed);
}

void FavoritesFolderShield::Start(WatchRequests& watches) {
    InstallFavoritesShield();
    // The shell tells of changes in the folder and below; a watch of the
    // folder itself also hears of files that other programs write where the
    // shell's notices do not reach (and where the registration failed).
    if (!favorites_.folder().empty()) {
        watches.WatchFolder({favorites_.folder(), kNotifyFileName | kNotifyDirName,
                             app::WM_SHIELD_FAVORITES_CHANGED, kFavoritesWatchRank});
    }
}

bool FavoritesFolderShield::OnNotice(const Notice& notice) {
    if (notice.message != app::WM_SHIELD_FAVORITES_CHANGED)
        return false;
    CheckFavorites();
    return true;
}

void FavoritesFolderShield::CheckFavorites() {
    if (!Active() || favorites_.folder().empty())
        return;
    favorites_.CheckFavorites([this](const std::string& url) {
        // A folder, or a shortcut without an address, is accepted without
        // a question (also while notifications are hidden: there is
        // nothing to show, and a folder is no file to delete).
        if (url.empty())
            return false;
        return services_.alerts.AuthorizeChange(url, AlertKind::FavoriteAdded);
    });
}

void FavoritesFolderShield::OnSwitchesChanged(const ShieldSwitches& before,
                                              const ShieldSwitches& after) {
    if (TurnedOn(before, after, &ShieldSwitches::favorites) && !favorites_.folder().empty())
        favorites_.TakeFavoritesList();
}

void FavoritesFolderShield::Audit(std::vector<PlaceStatus>& out) {
    PlaceStatus place;
    place.shield = "gfv";
    place.place = favorites_.folder();
    place.watched = Active() && !favorites_.folder().empty();
    FavoritesList now;
    BuildFavoritesList(services_.system.registry, services_.system.files, kFavoritesMenuOrderKey,
                       favorites_.folder(), OrderNameForm::kPlain, &now, nullptr);
    const FavoritesList& known = favorites_.list();
    for (const FavoriteItem& item : now) {
        const bool listed = std::any_of(known.begin(), known.end(), [&](const FavoriteItem& old) {
            return text::EqualsNoCase(old.path, item.path);
        });
        if (!listed)
            place.differences.push_back(item.path);
    }
    place.matches = place.differences.empty();
    out.push_back(std::move(place));
}

// The cookies folder.

CookieFolderShield::CookieFolderShield(ShieldServices& services)
    : services_(services),
      ownDecisions_(services.cookieDecisions != nullptr
                        ? nullptr
                        : std::make_unique<RegistryCookieDecisions>(services.system.registry)),
      decisions_(services.cookieDecisions != nullptr ? *services.cookieDecisions : *ownDecisions_),
      cookies_(services.system.files, decisions_) {}

bool CookieFolderShield::Active() const {
    return services_.switches.shieldsActive && services_.switches.cookie;
}

void CookieFolderShield::ReadDatabaseNames() {
    if (services_.database != nullptr)
        cookies_.SetDatabaseCookieNames(DatabaseCookieNames(*services_.database));
}

void CookieFolderShield::Start(WatchRequests& watches) {
    cookies_.SetFolder(services_.system.environment.CookiesFolder());
    ReadDatabaseNames();
    cookies_.TakeCookieList();
    if (!cookies_.folder().empty()) {
        watches.WatchFolder({cookies_.folder(), kNotifyFileName, app::WM_SHIELD_COOKIES_CHANGED,
                             kCookiesWatchRank});
    }
}

bool CookieFolderShield::OnNotice(const Notice& notice) {
    if (notice.message != app::WM_SHIELD_COOKIES_CHANGED)
        return false;
    CheckCookies();
    return true;
}

CookieShield::Outcome CookieFolderShield::CheckCookies() {
    if (!Active() || cookies_.folder().empty())
        return {};
    ReadDatabaseNames();
    return cookies_.CheckCookies(
        services_.switches.hideNotifications, [this](const std::string& name, int* dontAskAgain) {
            return services_.alerts.AuthorizeChange(name, AlertKind::CookieAdded, dontAskAgain);
        });
}

void CookieFolderShield::OnSwitchesChanged(const ShieldSwitches& before,
                                           const ShieldSwitches& after) {
    if (TurnedOn(before, after, &ShieldSwitches::cookie))
        cookies_.TakeCookieList();
}

void CookieFolderShield::Audit(std::vector<PlaceStatus>& out) {
    PlaceStatus place;
    place.shield = "cokieshld";
    place.place = cookies_.folder();
    place.watched = Active() && !cookies_.folder().empty();
    place.differences = cookies_.FindNewCookies();
    place.matches = place.differences.empty();
    out.push_back(std::move(place));
}

}  // namespace shields
