#pragma once
// One shield as `CShieldMonitor` runs it.
//
// Adding a shield:
//  1. its switch: a row in kSwitchTable (shields/Switches.cpp) and a field in
//     ShieldSwitches;
//  2. a class derived from Shield: Start takes the baseline and asks for the
//     notices it needs (registry keys by id, folders by message); OnNotice
//     handles them; ApplySettings and OnSwitchesChanged follow the switch;
//  3. one line in MakeShields (shields/ShieldSet.cpp), the one list of
//     shields, in the order in which they start.
// What a shield needs of Windows beyond platform::System comes through
// ShieldServices, which the Windows program fills in.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "settings/SettingsStore.h"
#include "shields/Alerts.h"
#include "shields/Switches.h"

namespace shields {

// Folder watch filters (FILE_NOTIFY_CHANGE_*).
inline constexpr std::uint32_t kNotifyFileName = 0x1;
inline constexpr std::uint32_t kNotifyLastWrite = 0x10;

// Registry keys the monitor watches; the id is the notice's wParam.
struct KeyWatch {
    platform::HKey root = platform::kNullKey;
    std::string subKey;
    int keyId = 0;
};

// A folder whose changes arrive as `message` (wParam and lParam 0).
struct FolderWatch {
    std::string path;
    std::uint32_t filter = kNotifyFileName;
    std::uint32_t message = 0;
    // Watchers start in rising rank order.
    int rank = 0;
};

class WatchRequests {
  public:
    virtual ~WatchRequests() = default;
    virtual void WatchKey(const KeyWatch& watch) = 0;
    virtual void WatchFolder(const FolderWatch& watch) = 0;
};

// A private message of the main window as a watcher sent it.
struct Notice {
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
};

// How one watched place compares with its baseline now, for the
// administrator's audit.
struct PlaceStatus {
    std::string shield;  // the switch's setting name
    std::string place;   // a registry path or folder
    bool watched = false;
    bool matches = true;
    // What is there now (a value, the data of every Run value, the files)
    // and what the shield expects there.
    std::vector<std::string> now;
    std::vector<std::string> baseline;
    // The items of `now` that the baseline does not hold.
    std::vector<std::string> differences;
};

// Takes the watches and starts nothing.
class NoWatchRequests : public WatchRequests {
  public:
    void WatchKey(const KeyWatch&) override {}
    void WatchFolder(const FolderWatch&) override {}
};

class Shield {
  public:
    virtual ~Shield() = default;
    // `LoadShieldSettings`: the shield's part of applying the stored
    // switches (maintained values written, modules loaded or unloaded).
    virtual void ApplySettings(settings::SettingsStore& store, const ShieldSwitches& switches) {
        (void)store;
        (void)switches;
    }
    // `StartShields`: the baseline, and the notices to be told of.
    virtual void Start(WatchRequests& watches) = 0;
    // True when the notice is this shield's (whether or not its switch let
    // it act).
    virtual bool OnNotice(const Notice& notice) = 0;
    // After the shields have started, a switch changed (tray, or the
    // settings reloaded). A shield that starts working again takes a fresh
    // baseline, so what changed while it was off is not asked about.
    virtual void OnSwitchesChanged(const ShieldSwitches& before, const ShieldSwitches& after) {
        (void)before;
        (void)after;
    }
    // The baseline a start with these switches would leave, taken without
    // writing anything and without watching (the one-shot audit of
    // `bxcli shields status`). By default what Start takes.
    virtual void TakeAuditBaseline(const settings::SettingsStore& store,
                                   const ShieldSwitches& switches) {
        (void)store;
        (void)switches;
        NoWatchRequests none;
        Start(none);
    }
    // The places this shield watches, compared with its baseline now.
    virtual void Audit(std::vector<PlaceStatus>& out) { (void)out; }
};

}  // namespace shields
