#pragma once
// The IE home page shield ("ghmpg", page "hmpg") and the IE hijack shield
// ("iehj": "Search Page", "Local Page", "Search Bar"): baselines of the
// current user's browser values; a change under either hive's "Main" key is
// asked about, and a refused one is written back as the baseline.
#include <array>
#include <optional>
#include <string>

#include "shields/Shield.h"
#include "shields/ShieldSet.h"

namespace shields {

inline constexpr const char* kBrowserMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
inline constexpr const char* kMaintainedLocalPage = "\\blank.htm";
// The home page kept while "hmpg" is empty.
inline constexpr const char* kBlankHomePage = "about:blank";
inline constexpr int kCurrentUserMainKeyId = 2;
inline constexpr int kLocalMachineMainKeyId = 3;

class BrowserShield : public Shield {
  public:
    explicit BrowserShield(ShieldServices& services) : services_(services) {}

    void ApplySettings(settings::SettingsStore& store, const ShieldSwitches& switches) override;
    void Start(WatchRequests& watches) override;
    bool OnNotice(const Notice& notice) override;
    void OnSwitchesChanged(const ShieldSwitches& before, const ShieldSwitches& after) override;
    void TakeAuditBaseline(const settings::SettingsStore& store,
                           const ShieldSwitches& switches) override;
    void Audit(std::vector<PlaceStatus>& out) override;

    // `TakeBrowserBaselines`: the current user's four values.
    void TakeBrowserBaselines();
    // `CheckBrowserSettings` for HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
    void CheckBrowserSettings(platform::HKey hive);

    enum Page { kStartPage, kSearchPage, kLocalPage, kSearchBar };
    const std::string& baseline(Page page) const { return baselines_[page]; }

  private:
    // The pages the switched-on shields keep at fixed values.
    using Maintained = std::array<std::optional<std::string>, 4>;
    static Maintained MaintainedPages(const settings::SettingsStore& store,
                                      const ShieldSwitches& switches);
    void CheckPage(platform::HKey hive, Page page);

    ShieldServices& services_;
    std::array<std::string, 4> baselines_;
};

}  // namespace shields
