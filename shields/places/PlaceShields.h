#pragma once
// The hosts file ("hsts"), IE favorites ("gfv") and cookie ("cokieshld")
// shields as `CShieldMonitor` runs them: each takes its snapshot at start,
// asks for the folder notices it needs and, while its switch and
// `ShieldsActive` are on, asks about what is new through `AuthorizeChange`.
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "shields/Shield.h"
#include "shields/ShieldSet.h"
#include "shields/places/CookieDecisions.h"
#include "shields/places/Cookies.h"
#include "shields/places/Favorites.h"
#include "shields/places/Hosts.h"

namespace shields {

// Watch ranks: hosts and cookies start before the Startup folders (3 and 4),
// the Favorites folder after them.
inline constexpr int kHostsWatchRank = 1;
inline constexpr int kCookiesWatchRank = 2;
inline constexpr int kFavoritesWatchRank = 5;
// FILE_NOTIFY_CHANGE_DIR_NAME: a new folder in Favorites.
inline constexpr std::uint32_t kNotifyDirName = 0x2;

inline constexpr const char* kFavoritesInstallFailed = "Could not install Favorites shield";

class HostsFileShield : public Shield {
  public:
    explicit HostsFileShield(ShieldServices& services)
        : services_(services), hosts_(services.system.files) {}

    void Start(WatchRequests& watches) override;
    bool OnNotice(const Notice& notice) override;
    void OnSwitchesChanged(const ShieldSwitches& before, const ShieldSwitches& after) override;
    void Audit(std::vector<PlaceStatus>& out) override;

    // `CheckHostsFile`.
    HostsShield::Outcome CheckHostsFile();
    const HostsShield& hosts() const { return hosts_; }

  private:
    bool Active() const;

    ShieldServices& services_;
    HostsShield hosts_;
};

class FavoritesFolderShield : public Shield {
  public:
    explicit FavoritesFolderShield(ShieldServices& services, std::chrono::milliseconds deleteDelay =
                                                                 FavoritesShield::kDeleteDelay);

    void Start(WatchRequests& watches) override;
    bool OnNotice(const Notice& notice) override;
    void OnSwitchesChanged(const ShieldSwitches& before, const ShieldSwitches& after) override;
    void Audit(std::vector<PlaceStatus>& out) override;

    // `InstallFavoritesShield`: the list, then the shell's registration.
    void InstallFavoritesShield();
    // `CheckFavorites`.
    void CheckFavorites();
    FavoritesShield& favorites() { return favorites_; }

  private:
    bool Active() const;

    // For a program that cannot read addresses: every favorite has none.
    class NoAddresses : public ShortcutResolver {
      public:
        std::optional<std::string> ResolveShortcutUrl(std::string_view) override {
            return std::nullopt;
        }
    };

    ShieldServices& services_;
    NoAddresses noAddresses_;
    FavoritesShield favorites_;
};

class CookieFolderShield : public Shield {
  public:
    explicit CookieFolderShield(ShieldServices& services);

    void Start(WatchRequests& watches) override;
    bool OnNotice(const Notice& notice) override;
    void OnSwitchesChanged(const ShieldSwitches& before, const ShieldSwitches& after) override;
    void Audit(std::vector<PlaceStatus>& out) override;

    // `CheckCookies`.
    CookieShield::Outcome CheckCookies();
    CookieDecisionStore& decisions() { return decisions_; }
    const CookieShield& cookies() const { return cookies_; }

  private:
    bool Active() const;
    // The database's cookie names as they are now (the Reference file may
    // have been reloaded since the last notice).
    void ReadDatabaseNames();

    ShieldServices& services_;
    std::unique_ptr<CookieDecisionStore> ownDecisions_;
    CookieDecisionStore& decisions_;
    CookieShield cookies_;
};

}  // namespace shields
