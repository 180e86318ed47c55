#pragma once
// The tray icon of the main window (`CSystemTray`): adds, hides and re-adds
// the icon through the shell, turns its mouse messages into the tray menu or
// the default command, hides the main window into the tray with the
// caption animation and brings it back, and owns the hidden window
// "Brindlex5" by which a second instance finds this one.
#include <functional>
#include <memory>
#include <string>

#include "platform/win32/Windows.h"

#include "app/TrayModel.h"

namespace app {

class CSystemTray {
  public:
    CSystemTray();
    virtual ~CSystemTray();
    CSystemTray(const CSystemTray&) = delete;
    CSystemTray& operator=(const CSystemTray&) = delete;

    // Makes the hidden window and, unless `hidden`, adds the icon. False
    // when the system has no tray or the hidden window cannot be made.
    bool CreateTray(HWND target, UINT callbackMessage, const std::string& tooltip, HICON icon,
                    UINT id, bool hidden);

    bool AddTrayIcon() { return model_.AddTrayIcon(); }
    bool RemoveTrayIcon() { return model_.RemoveTrayIcon(); }
    bool HideTrayIcon() { return model_.HideTrayIcon(); }
    bool ShowTrayIcon() { return model_.ShowTrayIcon(); }
    bool SetTrayIcon(HICON icon);
    bool SetTrayTooltip(const std::string& tooltip) { return model_.SetTrayTooltip(tooltip); }
    // The window that gets the menu commands.
    void SetTargetWindow(HWND target) { target_ = target; }
    HWND targetWindow() const { return target_; }

    // The callback message: right button up shows the tray menu, a left
    // double click sends the default command ("Open Brindlex").
    void HandleTrayMessage(WPARAM id, LPARAM mouseMessage);

    void HideWindowToTray(HWND window, bool forceAnimation);
    void RestoreWindowFromTray(HWND window, bool forceAnimation);

    bool IconShown() const { return model_.IsIconShown(); }
    const TrayModel& model() const { return model_; }
    // The hidden window "Brindlex5".
    HWND trayWindow() const { return window_; }

    // Where the shield items' Enable/Disable texts come from when the menu
    // is about to be shown; without it the menu keeps its resource texts.
    void SetSwitchSource(std::function<ShieldSwitches()> source) { switches_ = std::move(source); }
    // What WM_CLOSE on the hidden window does (an uninstaller or another
    // program asking this one to end); without it the request is ignored,
    // since the window must live as long as the window it serves.
    void SetCloseHandler(std::function<void()> handler) { close_ = std::move(handler); }

  protected:
    // Adjusts the tray menu's first popup before it is shown.
    virtual void CustomizeMenu(HMENU popup);

  private:
    class Shell;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ShowMenu();
    // The target window, or the program's main window when none was set.
    HWND Target() const;
    RECT TrayArea() const;

    std::unique_ptr<Shell> shell_;
    TrayModel model_;
    HWND window_ = nullptr;
    HWND target_ = nullptr;
    HWND invisibleOwner_ = nullptr;
    UINT iconId_ = 0;
    UINT taskbarCreated_ = 0;
    UINT maximizeFromTray_ = 0;
    std::function<ShieldSwitches()> switches_;
    std::function<void()> close_;
};

}  // namespace app
