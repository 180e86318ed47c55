#pragma once
// `CShieldMonitor`: the shields' state on the main window's thread. It owns
// the switches' runtime flags, the alerts and `LastNotification`, and the
// shields of MakeShields; the watcher threads only tell it that something
// changed (OnMessage), and it hands the notice to the shield concerned.
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "platform/System.h"
#include "shields/Alerts.h"
#include "shields/Shield.h"
#include "shields/ShieldSet.h"
#include "shields/Switches.h"

namespace shields {

class CShieldMonitor {
  public:
    CShieldMonitor(platform::System& system, AlertPopup& popup);
    ~CShieldMonitor();
    CShieldMonitor(const CShieldMonitor&) = delete;
    CShieldMonitor& operator=(const CShieldMonitor&) = delete;

    // Replaces the shields of MakeShields (tests run their own).
    void SetShields(std::vector<std::unique_ptr<Shield>> shields);

    // `LoadShieldSettings`: the flags from the settings (`ShieldsActive` on
    // when any shield is), then each shield applies its part. Once the
    // shields have started, a shield that is turned on takes a fresh
    // baseline.
    void LoadShieldSettings();
    // `StartShields`: every shield's baseline in list order, then the
    // registry watches in key id order, then the folder watches by rank.
    // Returns 1.
    int StartShields(WatchRequests& watches);
    bool started() const { return started_; }

    // A tray item: flips the switch and tells the shields. `handled` is
    // false for commands that are not switches.
    SwitchChange OnTrayCommand(int command);

    // A private message from a watcher (WM_SHIELD_*).
    // A notice that arrives while an alert is open (its popup takes
    // messages) waits until the alert has been answered, so at most one
    // popup asks at a time.
    void OnMessage(std::uint32_t message, std::uintptr_t wParam);

    void RepeatLastNotification() { alerts_.RepeatLastNotification(); }

    // The places every shield watches against their baselines.
    std::vector<PlaceStatus> Audit();
    // For a monitor that has not started: the switches as the settings hold
    // them and the baselines a start would take, all without writing, then
    // Audit.
    std::vector<PlaceStatus> AuditAsAtStart();

    const ShieldSwitches& switches() const { return switches_; }
    ShieldAlerts& alerts() { return alerts_; }
    ShieldServices& services() { return services_; }

  private:
    void Deliver(const Notice& notice);
    void EnsureShields();

    platform::System& system_;
    ShieldSwitches switches_;
    ShieldAlerts alerts_;
    ShieldServices services_;
    std::vector<std::unique_ptr<Shield>> shields_;
    bool made_ = false;
    bool started_ = false;
    bool busy_ = false;
    std::deque<Notice> pending_;
};

}  // namespace shields
