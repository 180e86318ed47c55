// The tray icon against the virtual desktop's real notification area.
#include <gtest/gtest.h>

#include <vector>

#include "app/win32/dialogs/SystemTray.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "platform/win32/WideText.h"
#include "settings/Messages.h"

#include <shellapi.h>

namespace {

using namespace dialogtest;

// A stand-in main window that remembers the commands it gets.
class TargetWindow {
  public:
    TargetWindow() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &TargetWindow::Proc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"BxTrayTestTarget";
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, L"BxTrayTestTarget", L"Tray test target",
                                 WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TargetWindow() { DestroyWindow(window); }

    HWND window = nullptr;
    std::vector<int> commands;

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TargetWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr && message == WM_COMMAND)
            self->commands.push_back(LOWORD(wParam));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
};

// Whether the shell holds the icon: only a registered icon can be modified.
bool ShellHasIcon(HWND owner) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = owner;
    data.uID = app::kTrayIconId;
    data.uFlags = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

class SystemTrayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(FindWindowW(L"Shell_TrayWnd", nullptr), nullptr)
            << "the tests run inside a virtual desktop with a taskbar";
        icon = LoadIconW(nullptr, IDI_APPLICATION);
        ASSERT_TRUE(tray.CreateTray(target.window, app::WM_TRAYNOTIFY, app::kTrayTooltip, icon,
                                    app::kTrayIconId, true));
    }
    void TearDown() override { tray.RemoveTrayIcon(); }

    TargetWindow target;
    app::CSystemTray tray;
    HICON icon = nullptr;
};

TEST_F(SystemTrayTest, HiddenWindowCarriesTheTitleASecondInstanceLooksFor) {
    HWND found = FindWindowW(nullptr, L"Brindlex5");
    EXPECT_EQ(found, tray.trayWindow());
    EXPECT_FALSE(IsWindowVisible(found));
    EXPECT_FALSE(tray.IconShown());
    EXPECT_FALSE(ShellHasIcon(target.window));
}

TEST_F(SystemTrayTest, ShowAndHideAddAndDeleteTheShellIcon) {
    EXPECT_TRUE(tray.ShowTrayIcon());
    EXPECT_TRUE(tray.IconShown());
    EXPECT_TRUE(ShellHasIcon(target.window));
    EXPECT_TRUE(tray.SetTrayTooltip("Brindlex Shields Disabled"));
    EXPECT_TRUE(tray.HideTrayIcon());
    EXPECT_FALSE(tray.IconShown());
    EXPECT_FALSE(ShellHasIcon(target.window));
}

TEST_F(SystemTrayTest, TaskbarCreatedBringsBackALostIcon) {
    ASSERT_TRUE(tray.ShowTrayIcon());
    // A restarted shell has forgotten every icon.
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    data.hWnd = target.window;
    data.uID = app::kTrayIconId;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    ASSERT_FALSE(ShellHasIcon(target.window));
    // Wine never broadcasts it; the new taskbar would.
    SendMessageW(tray.trayWindow(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(ShellHasIcon(target.window));
    EXPECT_TRUE(tray.IconShown());

    // Not while the window is out of the tray.
    ASSERT_TRUE(tray.HideTrayIcon());
    SendMessageW(tray.trayWindow(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_FALSE(ShellHasIcon(target.window));
}

TEST_F(SystemTrayTest, DoubleClickAndMaximizeMessageSendOpenToTheTarget) {
    tray.HandleTrayMessage(app::kTrayIconId, WM_LBUTTONDBLCLK);
    tray.HandleTrayMessage(app::kTrayIconId + 1, WM_LBUTTONDBLCLK);  // another icon: ignored
    PumpPending();
    EXPECT_EQ(target.commands, (std::vector<int>{app::commands::kTrayOpen}));

    UINT maximize = RegisterWindowMessageW(L"MAXIMIZE_FROM_SYSTEM_TRAY");
    SendMessageW(tray.trayWindow(), maximize, 0, 0);  // icon hidden: only brought forward
    EXPECT_EQ(target.commands.size(), 1u);
    ASSERT_TRUE(tray.ShowTrayIcon());
    SendMessageW(tray.trayWindow(), maximize, 0, 0);
    EXPECT_EQ(target.commands.size(), 2u);
}

TEST_F(SystemTrayTest, HideToTrayLeavesTheTaskbarAndRestoreComesBack) {
    tray.HideWindowToTray(target.window, true);
    EXPECT_FALSE(IsWindowVisible(target.window));
    HWND owner = GetWindow(target.window, GW_OWNER);
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(IsWindowVisible(owner));

    tray.RestoreWindowFromTray(target.window, true);
    EXPECT_TRUE(IsWindowVisible(target.window));
    EXPECT_EQ(GetWindow(target.window, GW_OWNER), nullptr);
}

TEST_F(SystemTrayTest, RightClickShowsTheTrayMenuWithShieldTexts) {
    tray.SetSwitchSource([] {
        app::ShieldSwitches switches;
        switches.shieldsActive = true;
        switches.hosts = true;
        return switches;
    });
    // The menu runs its own loop: a timer reads it from inside and closes it.
    static std::vector<std::wstring> texts;
    texts.clear();
    UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (menu == nullptr || !IsWindowVisible(menu))
            return;
        KillTimer(nullptr, id);
        Screenshot(menu, "tray-menu");
        auto handle = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(handle); ++i) {
            wchar_t text[128] = {};
            GetMenuStringW(handle, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
            texts.push_back(text);
        }
        EndMenu();
    });
    tray.HandleTrayMessage(app::kTrayIconId, WM_RBUTTONUP);  // returns when the menu closes
    KillTimer(nullptr, timer);

    ASSERT_EQ(texts.size(), 18u);
    EXPECT_EQ(texts[0], L"Open Brindlex");
    EXPECT_EQ(texts[17], L"E&xit");
    std::vector<app::TrayMenuItem> expected = app::TrayMenu([] {
        app::ShieldSwitches switches;
        switches.shieldsActive = true;
        switches.hosts = true;
        return switches;
    }());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(platform::win32::Narrow(texts[i]), expected[i].text) << "position " << i;
}

}  // namespace
