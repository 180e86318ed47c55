#include "shields/ShieldMonitor.h"

#include <algorithm>

#include "settings/SettingsStore.h"

namespace shields {

namespace {

// Collects the watches so that they start in a fixed order whatever order
// the shields ask in.
class OrderedWatches : public WatchRequests {
  public:
    void WatchKey(const KeyWatch& watch) override { keys.push_back(watch); }
    void WatchFolder(const FolderWatch& watch) override { folders.push_back(watch); }

    void StartIn(WatchRequests& target) {
        std::stable_sort(keys.begin(), keys.end(),
                         [](const KeyWatch& a, const KeyWatch& b) { return a.keyId < b.keyId; });
        std::stable_sort(
            folders.begin(), folders.end(),
            [](const FolderWatch& a, const FolderWatch& b) { return a.rank < b.rank; });
        for (const KeyWatch& key : keys)
            target.WatchKey(key);
        for (const FolderWatch& folder : folders)
            target.WatchFolder(folder);
    }

    std::vector<KeyWatch> keys;
    std::vector<FolderWatch> folders;
};

}  // namespace

CShieldMonitor::CShieldMonitor(platform::System& system, AlertPopup& popup)
    : system_(system), alerts_(popup, switches_), services_{system, switches_, alerts_} {}

CShieldMonitor::~CShieldMonitor() = default;

void CShieldMonitor::SetShields(std::vector<std::unique_ptr<Shield>> shields) {
    shields_ = std::move(shields);
    made_ = true;
}

void CShieldMonitor::EnsureShields() {
    if (!made_)
        SetShields(MakeShields(services_));
}

void CShieldMonitor::LoadShieldSettings() {
    EnsureShields();
    settings::SettingsStore store(system_);
    const ShieldSwitches before = switches_;
    switches_ = ReadShieldSwitches(store);
    for (auto& shield : shields_)
        shield->ApplySettings(store, switches_);
    if (started_) {
        for (auto& shield : shields_)
            shield->OnSwitchesChanged(before, switches_);
    }
}

int CShieldMonitor::StartShields(WatchRequests& watches) {
    EnsureShields();
    OrderedWatches ordered;
    for (auto& shield : shields_)
        shield->Start(ordered);
    ordered.StartIn(watches);
    started_ = true;
    return 1;
}

SwitchChange CShieldMonitor::OnTrayCommand(int command) {
    settings::SettingsStore store(system_);
    SwitchChange change = ApplyTrayToggle(command, switches_, store);
    if (change.handled && started_) {
        for (auto& shield : shields_)
            shield->OnSwitchesChanged(change.before, change.after);
    }
    return change;
}

void CShieldMonitor::OnMessage(std::uint32_t message, std::uintptr_t wParam) {
    const Notice notice{message, wParam};
    if (busy_) {
        // One notice per source is enough: the handler reads the current
        // state when it runs.
        const bool queued = std::any_of(pending_.begin(), pending_.end(), [&](const Notice& n) {
            return n.message == notice.message && n.wParam == notice.wParam;
        });
        if (!queued)
            pending_.push_back(notice);
        return;
    }
    busy_ = true;
    Deliver(notice);
    while (!pending_.empty()) {
        const Notice next = pending_.front();
        pending_.pop_front();
        Deliver(next);
    }
    busy_ = false;
}

void CShieldMonitor::Deliver(const Notice& notice) {
    for (auto& shield : shields_) {
        if (shield->OnNotice(notice))
            return;
    }
}

std::vector<PlaceStatus> CShieldMonitor::AuditAsAtStart() {
    EnsureShields();
    const settings::SettingsStore store(system_);
    switches_ = ReadShieldSwitches(store);
    for (auto& shield : shields_)
        shield->TakeAuditBaseline(store, switches_);
    return Audit();
}

std::vector<PlaceStatus> CShieldMonitor::Audit() {
    EnsureShields();
    std::vector<PlaceStatus> places;
    for (auto& shield : shields_)
        shield->Audit(places);
    return places;
}

}  // namespace shields
