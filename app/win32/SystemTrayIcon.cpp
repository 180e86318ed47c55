// The main window's tray icon over the secondary windows' `CSystemTray`.
#include <utility>

#include "app/TrayModel.h"
#include "app/win32/TrayIcon.h"
#include "app/win32/dialogs/SystemTray.h"
#include "settings/Messages.h"

namespace app {
namespace {

class SystemTrayIcon : public TrayIcon {
  public:
    explicit SystemTrayIcon(std::function<ShieldSwitches()> switches)
        : switches_(std::move(switches)) {}

    bool Create(HWND target, HICON icon) override {
        if (!tray_.CreateTray(target, WM_TRAYNOTIFY, kTrayTooltip, icon, kTrayIconId, true))
            return false;
        // The shield items say what a click would do, from the switches as
        // they are when the menu opens.
        tray_.SetSwitchSource(switches_);
        tray_.SetTargetWindow(target);
        // Asked to close from outside: the program ends as after the tray's
        // Exit, without its questions (nobody is there to answer them).
        tray_.SetCloseHandler([target] { EndDialog(target, IDCANCEL); });
        tray_.HideTrayIcon();
        return true;
    }
    void ShowIcon() override { tray_.ShowTrayIcon(); }
    void HideIcon() override { tray_.HideTrayIcon(); }
    void RemoveIcon() override { tray_.RemoveTrayIcon(); }
    bool IconShown() const override { return tray_.IconShown(); }
    void HideWindowToTray(HWND window) override { tray_.HideWindowToTray(window, false); }
    void RestoreWindowFromTray(HWND window) override { tray_.RestoreWindowFromTray(window, false); }
    void HandleTrayMessage(WPARAM id, LPARAM mouseMessage) override {
        tray_.HandleTrayMessage(id, mouseMessage);
    }
    void SetTooltip(const std::string& tooltip) override { tray_.SetTrayTooltip(tooltip); }

  private:
    std::function<ShieldSwitches()> switches_;
    CSystemTray tray_;
};

}  // namespace

std::unique_ptr<TrayIcon> MakeSystemTray(std::function<ShieldSwitches()> switches) {
    return std::make_unique<SystemTrayIcon>(std::move(switches));
}

}  // namespace app
