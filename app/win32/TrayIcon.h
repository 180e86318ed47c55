#pragma once
// What the main window asks of its tray icon. The implementation is the
// secondary windows' `CSystemTray`, which also owns the hidden window
// "Brindlex5" by which a second instance finds this one.
#include <functional>
#include <memory>
#include <string>

#include "app/TrayModel.h"
#include "platform/win32/Windows.h"

namespace app {

class TrayIcon {
  public:
    virtual ~TrayIcon() = default;
    // `CreateTray` with the callback WM_TRAYNOTIFY, tooltip "Brindlex 5.0",
    // icon id 5, hidden: false when the icon cannot be made.
    virtual bool Create(HWND target, HICON icon) = 0;
    virtual void ShowIcon() = 0;    // ShowTrayIcon
    virtual void HideIcon() = 0;    // HideTrayIcon
    virtual void RemoveIcon() = 0;  // RemoveTrayIcon
    virtual bool IconShown() const = 0;
    virtual void HideWindowToTray(HWND window) = 0;
    virtual void RestoreWindowFromTray(HWND window) = 0;
    // WM_TRAYNOTIFY: icon id, mouse message.
    virtual void HandleTrayMessage(WPARAM id, LPARAM mouseMessage) = 0;
    virtual void SetTooltip(const std::string& tooltip) = 0;
};

// The program's tray icon.
// `switches` gives the shield items' state when the menu opens.
std::unique_ptr<TrayIcon> MakeSystemTray(std::function<ShieldSwitches()> switches);

}  // namespace app
