#pragma once
// The tray icon of `CSystemTray` without the shell: the icon's state
// machine over a three-call shell interface, the tray menu as data, the
// tray's "E&xit" question and the rectangle the window animates into.
//
// State: `hidden` means the icon is not wanted (the main window is shown);
// `removed` means the shell does not hold it; `showPending` means it is
// wanted but an add failed, and is retried on the next "TaskbarCreated" or
// work-area change. The icon is shown when enabled and not hidden.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Geometry.h"
#include "removal/Prompts.h"
#include "settings/Messages.h"
#include "settings/SettingsStore.h"
#include "shields/Switches.h"

namespace app {

inline constexpr const char* kTrayTooltip = "Brindlex 5.0";
inline constexpr const char* kShieldsDisabledTooltip = "Brindlex Shields Disabled";
// The tooltip field holds 64 UTF-16 units with the terminating zero.
inline constexpr std::size_t kMaxTooltipUnits = 63;

// `tip` cut to at most 63 UTF-16 units without splitting a character.
std::string CutTooltip(std::string_view tip);

// Fields of a modify call (NIF_ICON, NIF_TIP).
enum TrayField : unsigned { kTrayFieldIcon = 1, kTrayFieldTip = 2 };

// Shell_NotifyIcon with the tray's icon record (owner window, icon id 5,
// callback WM_TRAYNOTIFY, the current icon); each true on success.
class TrayShell {
  public:
    virtual ~TrayShell() = default;
    // NIM_ADD with message, icon and tip.
    virtual bool AddIcon(std::string_view tooltip) = 0;
    // NIM_DELETE.
    virtual bool DeleteIcon() = 0;
    // NIM_MODIFY of the given TrayField bits.
    virtual bool ModifyIcon(unsigned fields, std::string_view tooltip) = 0;
};

class TrayModel {
  public:
    explicit TrayModel(TrayShell& shell) : shell_(shell) {}

    // `CreateTray`: enabled on Windows major version 4 and later (false
    // otherwise, and nothing is ever shown). Keeps the tooltip (cut to 63
    // units). With `startHidden` the icon is neither wanted nor added;
    // otherwise it is added, and a failed add leaves it pending. The result
    // is false only when not enabled.
    bool CreateTray(std::uint32_t windowsMajor, std::string_view tooltip, bool startHidden);

    // Re-adds the icon (removing a registered one first). True when added;
    // a failure leaves the icon wanted and pending.
    bool AddTrayIcon();
    // Deletes the icon from the shell; afterwards it is neither wanted nor
    // pending. False when the shell refused.
    bool RemoveTrayIcon();
    // Going out of the tray: the icon is no longer wanted.
    bool HideTrayIcon();
    // Going to the tray: adds the icon unless it is shown already.
    bool ShowTrayIcon();
    // After the Win32 side changed the icon: tells the shell when shown.
    bool SetTrayIcon();
    // Keeps the new tooltip (cut to 63 units) and tells the shell when shown.
    bool SetTrayTooltip(std::string_view tooltip);

    // The registered "TaskbarCreated" message: the new taskbar holds no
    // icons, so a wanted icon is added again.
    void OnTaskbarCreated();
    // WM_SETTINGCHANGE with SPI_SETWORKAREA: a wanted icon that the shell
    // lost is added again.
    void OnWorkAreaChanged();

    bool enabled() const { return enabled_; }
    bool hidden() const { return hidden_; }
    bool removed() const { return removed_; }
    bool showPending() const { return showPending_; }
    // True while the main window sits in the tray: the main window's cancel
    // path does nothing then, and "MAXIMIZE_FROM_SYSTEM_TRAY" and the end of
    // the Windows session restore the window.
    bool IsIconShown() const { return enabled_ && !hidden_; }
    const std::string& tooltip() const { return tooltip_; }

  private:
    void InstallPendingIcon();

    TrayShell& shell_;
    std::string tooltip_;
    bool enabled_ = false;
    bool hidden_ = true;
    bool removed_ = true;
    bool showPending_ = false;
};

// --- Mouse ---------------------------------------------------------------

inline constexpr unsigned kMouseLeftDoubleClick = 0x0203;  // WM_LBUTTONDBLCLK
inline constexpr unsigned kMouseRightButtonUp = 0x0205;    // WM_RBUTTONUP

enum class TrayMouseAction {
    kNone,
    // Load menu 5, customise it (TrayMenu), bring the target window forward,
    // track the first popup at the cursor and post the target WM_NULL.
    kShowMenu,
    // Bring the target window forward and post it kTrayDefaultCommand.
    kDefaultCommand,
};
// The default item: position 0 of the tray menu, "Open Brindlex".
inline constexpr int kTrayDefaultCommand = commands::kTrayOpen;

// `HandleTrayMessage` (WM_TRAYNOTIFY): messages of other icon ids are
// ignored.
TrayMouseAction OnTrayMouse(unsigned iconId, unsigned mouseMessage);

// --- Menu ----------------------------------------------------------------

// The switches the shield items' texts follow.
using ShieldSwitches = shields::ShieldSwitches;

struct TrayMenuItem {
    std::string text;  // empty for a separator
    int command = 0;   // 0 for a separator
    // The text follows the switches: set it by position before showing.
    bool switchText = false;

    bool separator() const { return command == 0; }
};

// The first popup of menu 5 as shown: 18 positions, separators included,
// with the shield items' Enable/Disable texts for `switches`.
std::vector<TrayMenuItem> TrayMenu(const ShieldSwitches& switches);

// --- Exit ----------------------------------------------------------------

inline constexpr const char* kScheduledExitCaption = "Brindlex 5.0";

// String-table entry 32797 with "%s" replaced by `nextScan`.
std::string ScheduledExitQuestion(std::string_view nextScan);

// The tray's "E&xit": with a scan scheduled ("Schedule Scan" not "0") asks
// ScheduledExitQuestion with the "NextScan" setting (OK/Cancel); else with
// no shield on agrees at once; else asks entry 32798 (Yes/No). True when the
// program is to end (the main dialog is closed directly, bypassing its
// closing rules).
bool ConfirmTrayExit(const settings::SettingsStore& settings, bool anyShieldOn,
                     removal::Prompts& prompts);

// --- Tray area -----------------------------------------------------------

enum class TaskbarEdge { kLeft, kTop, kRight, kBottom };

// Where the rectangles come from: the "TrayNotifyWnd" child of
// "Shell_TrayWnd" and its "TrayClockWClass" child, the taskbar as
// SHAppBarMessage(ABM_GETTASKBARPOS) reports it, and the work area.
struct TrayAreaSources {
    std::optional<Rect> notifyArea;
    std::optional<Rect> clock;
    std::optional<Rect> taskbar;
    TaskbarEdge taskbarEdge = TaskbarEdge::kBottom;
    Rect workArea;
};

// The rectangle the window's caption is animated to and from: the
// notification area without the clock; else a stretch near the far end of
// the taskbar; else the 150 x 30 bottom-right corner of the work area.
Rect ComputeTrayArea(const TrayAreaSources& sources);

}  // namespace app
