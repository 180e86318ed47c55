#pragma once
// The IE home page shield ("ghmpg", page "hmpg") and the IE hijack shield
// ("iehj": "Search Page", "Local Page", "Search Bar"): baselines of the
// current user's browser values; a change under either hive's "Main" key is
// asked about, and a refused one is written back as the baseline.
#include <array>
#include <string>

#include "shields/Shield.h"
#include "shields/ShieldSet.h"

namespace shields {

inline constexpr const char* kBrowserMainKey = "Software\\Microsoft\\Internet Explorer\\Main";
inline constexpr const char* kMaintainedLocalPage = "\\blank.htm";
inline constexpr int kCurrentUserMainKeyId = 2;
inline constexpr int kLocalMachineMainKeyId = 3;

class BrowserShield : public Shield {
  public:
    explicit BrowserShield(ShieldServices& services) : services_(services) {}

    void ApplySettings(settings::SettingsStore& store, const ShieldSwitches& switches) override;
    void Start(WatchRequests& watches) override;
    bool OnNotice(const Notice& notice) override;
    void OnSwitchesChanged(const ShieldSwitches& before, const ShieldSwitches& after) override;
    void Audit(std::vector<PlaceStatus>& out) override;

    // `TakeBrowserBaselines`: the current user's four values.
    void TakeBrowserBaselines();
    // `CheckBrowserSettings` for HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE.
    void CheckBrowserSettings(platform::HKey hive);

    enum Page { kStartPage, kSearchPage, kLocalPage, kSearchBar };
    const std::string& baseline(Page page) const { return baselines_[page]; }

  private:
    void CheckPage(platform::HKey hive, Page page);

    ShieldServices& services_;
    std::array<std::string, 4> baselines_;
};

}  // namespace shields
