#include "shields/BrowserShield.h"

#include "platform/Text.h"
#include "settings/Messages.h"
#include "shields/RegistryText.h"

namespace shields {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

namespace {

struct PageInfo {
    const char* value;
    AlertKind kind;
};
constexpr PageInfo kPages[] = {
    {"Start Page", AlertKind::HomePageChanged},
    {"Search Page", AlertKind::SearchPageChanged},
    {"Local Page", AlertKind::LocalPageChanged},
    {"Search Bar", AlertKind::SearchBarChanged},
};

}  // namespace

BrowserShield::Maintained BrowserShield::MaintainedPages(const settings::SettingsStore& store,
                                                         const ShieldSwitches& s) {
    Maintained pages;
    if (s.homePage) {
        std::string page;
        store.GetSetting("hmpg", &page);
        pages[kStartPage] = page.empty() ? std::string(kBlankHomePage) : page;
    }
    if (s.hijack) {
        std::string search;
        store.GetSetting("srchpge", &search);
        pages[kSearchPage] = search;
        pages[kLocalPage] = kMaintainedLocalPage;
    }
    return pages;
}

void BrowserShield::ApplySettings(settings::SettingsStore& store, const ShieldSwitches& s) {
    platform::Registry& registry = services_.system.registry;
    const Maintained pages = MaintainedPages(store, s);
    if (pages[kStartPage]) {
        std::string stored;
        store.GetSetting("hmpg", &stored);
        if (stored.empty())
            store.SetSetting("hmpg", *pages[kStartPage]);
    }
    for (Page page : {kStartPage, kLocalPage, kSearchPage}) {
        if (!pages[page])
            continue;
        WriteText(registry, kHkeyCurrentUser, kBrowserMainKey, kPages[page].value, *pages[page]);
        baselines_[page] = *pages[page];
    }
}

void BrowserShield::TakeAuditBaseline(const settings::SettingsStore& store,
                                      const ShieldSwitches& s) {
    TakeBrowserBaselines();
    const Maintained pages = MaintainedPages(store, s);
    for (int page = kStartPage; page <= kSearchBar; ++page) {
        if (pages[page])
            baselines_[page] = *pages[page];
    }
}

void BrowserShield::TakeBrowserBaselines() {
    for (int page = kStartPage; page <= kSearchBar; ++page) {
        baselines_[page] = ReadText(services_.system.registry, kHkeyCurrentUser, kBrowserMainKey,
                                    kPages[page].value);
    }
}

void BrowserShield::Start(WatchRequests& watches) {
    TakeBrowserBaselines();
    watches.WatchKey({kHkeyCurrentUser, kBrowserMainKey, kCurrentUserMainKeyId});
    watches.WatchKey({kHkeyLocalMachine, kBrowserMainKey, kLocalMachineMainKeyId});
}

bool BrowserShield::OnNotice(const Notice& notice) {
    if (notice.message != app::WM_SHIELD_KEY_CHANGED)
        return false;
    if (notice.wParam == kCurrentUserMainKeyId)
        CheckBrowserSettings(kHkeyCurrentUser);
    else if (notice.wParam == kLocalMachineMainKeyId)
        CheckBrowserSettings(kHkeyLocalMachine);
    else
        return false;
    return true;
}

void BrowserShield::CheckBrowserSettings(platform::HKey hive) {
    const ShieldSwitches& s = services_.switches;
    if (!s.shieldsActive)
        return;
    // The local machine's start page is not the user's: it is never asked
    // about.
    if (s.homePage && hive == kHkeyCurrentUser)
        CheckPage(hive, kStartPage);
    if (s.hijack) {
        CheckPage(hive, kSearchPage);
        CheckPage(hive, kLocalPage);
        CheckPage(hive, kSearchBar);
    }
}

void BrowserShield::CheckPage(platform::HKey hive, Page page) {
    platform::Registry& registry = services_.system.registry;
    bool present = false;
    const std::string now = ReadText(registry, hive, kBrowserMainKey, kPages[page].value, &present);
    // The machine's key often lacks values the user's has; a value it does
    // not hold is no change, and must not empty the shared baseline.
    if (!present && hive == kHkeyLocalMachine)
        return;
    std::string& baseline = baselines_[page];
    if (text::EqualsNoCase(now, baseline))
        return;
    if (services_.alerts.AuthorizeChange(now, kPages[page].kind, nullptr, baseline))
        WriteText(registry, hive, kBrowserMainKey, kPages[page].value, baseline);
    else
        baseline = now;
}

void BrowserShield::OnSwitchesChanged(const ShieldSwitches& before, const ShieldSwitches& after) {
    platform::Registry& registry = services_.system.registry;
    auto retake = [&](Page page) {
        baselines_[page] =
            ReadText(registry, kHkeyCurrentUser, kBrowserMainKey, kPages[page].value);
    };
    if (!(before.shieldsActive && before.homePage) && after.shieldsActive && after.homePage)
        retake(kStartPage);
    if (!(before.shieldsActive && before.hijack) && after.shieldsActive && after.hijack) {
        retake(kSearchPage);
        retake(kLocalPage);
        retake(kSearchBar);
    }
}

void BrowserShield::Audit(std::vector<PlaceStatus>& out) {
    platform::Registry& registry = services_.system.registry;
    const ShieldSwitches& s = services_.switches;
    for (platform::HKey hive : {kHkeyCurrentUser, kHkeyLocalMachine}) {
        for (int page = kStartPage; page <= kSearchBar; ++page) {
            if (page == kStartPage && hive == kHkeyLocalMachine)
                continue;
            PlaceStatus place;
            place.shield = page == kStartPage ? "ghmpg" : "iehj";
            place.place = std::string(platform::RootName(hive)) + "\\" + kBrowserMainKey + "\\" +
                          kPages[page].value;
            place.watched = s.shieldsActive && (page == kStartPage ? s.homePage : s.hijack);
            bool present = false;
            const std::string now =
                ReadText(registry, hive, kBrowserMainKey, kPages[page].value, &present);
            // As in CheckPage: a value the machine's key does not hold is no
            // change.
            place.matches = (!present && hive == kHkeyLocalMachine) ||
                            text::EqualsNoCase(now, baselines_[page]);
            place.now = {now};
            place.baseline = {baselines_[page]};
            if (!place.matches)
                place.differences.push_back(now);
            out.push_back(std::move(place));
        }
    }
}

}  // namespace shields
