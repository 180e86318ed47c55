#include "app/win32/dialogs/SystemTray.h"

#include <shellapi.h>

#include <cwchar>

#include "app/win32/dialogs/DialogIds.h"
#include "platform/win32/WideText.h"

namespace app {

using platform::win32::Widen;

namespace {

constexpr const wchar_t* kTrayWindowClass = L"Brindlex5TrayWindow";

RECT ToRect(const Rect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}
Rect FromRect(const RECT& rect) {
    return Rect{rect.left, rect.top, rect.right, rect.bottom};
}

std::optional<Rect> WindowRectOf(HWND window) {
    RECT rect{};
    if (window == nullptr || !GetWindowRect(window, &rect))
        return std::nullopt;
    return FromRect(rect);
}

}  // namespace

// Shell_NotifyIcon over the tray's icon record, in its first form (owner,
// id, message, icon, a 64-unit tip), which every shell understands.
class CSystemTray::Shell : public TrayShell {
  public:
    NOTIFYICONDATAW data{};

    bool AddIcon(std::string_view tooltip) override {
        SetTip(tooltip);
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    }
    bool DeleteIcon() override {
        data.uFlags = 0;
        return Shell_NotifyIconW(NIM_DELETE, &data) != FALSE;
    }
    bool ModifyIcon(unsigned fields, std::string_view tooltip) override {
        SetTip(tooltip);
        data.uFlags = 0;
        if (fields & kTrayFieldIcon)
            data.uFlags |= NIF_ICON;
        if (fields & kTrayFieldTip)
            data.uFlags |= NIF_TIP;
        return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
    }

  private:
    void SetTip(std::string_view tooltip) {
        std::wstring tip = Widen(CutTooltip(tooltip));
        std::wmemset(data.szTip, 0, 64);
        tip.copy(data.szTip, 63);
    }
};

CSystemTray::CSystemTray() : shell_(std::make_unique<Shell>()), model_(*shell_) {
    shell_->data.cbSize = NOTIFYICONDATAW_V1_SIZE;
}

CSystemTray::~CSystemTray() {
    model_.RemoveTrayIcon();
    if (window_ != nullptr) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
    if (invisibleOwner_ != nullptr)
        DestroyWindow(invisibleOwner_);
}

bool CSystemTray::CreateTray(HWND target, UINT callbackMessage, const std::string& tooltip,
                             HICON icon, UINT id, bool hidden) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExW(&version);
#pragma GCC diagnostic pop
    if (version.dwMajorVersion < 4)
        return model_.CreateTray(version.dwMajorVersion, tooltip, true);

    taskbarCreated_ = RegisterWindowMessageW(Widen(kTaskbarCreatedMessage).c_str());
    maximizeFromTray_ = RegisterWindowMessageW(Widen(kMaximizeFromTrayMessage).c_str());
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &CSystemTray::WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kTrayWindowClass;
    RegisterClassExW(&windowClass);  // fails harmlessly when already registered
    // A top-level pop-up, never shown: it receives the broadcasts
    // ("TaskbarCreated", setting changes) that child windows do not.
    window_ = CreateWindowExW(0, kTrayWindowClass, Widen(kTrayWindowTitle).c_str(), WS_POPUP, 0, 0,
                              0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr)
        return false;
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    target_ = target;
    iconId_ = id;
    NOTIFYICONDATAW& data = shell_->data;
    data.hWnd = target != nullptr ? target : window_;
    data.uID = id;
    data.uCallbackMessage = callbackMessage;
    data.hIcon = icon;
    return model_.CreateTray(version.dwMajorVersion, tooltip, hidden);
}

bool CSystemTray::SetTrayIcon(HICON icon) {
    shell_->data.hIcon = icon;
    return model_.SetTrayIcon();
}

HWND CSystemTray::Target() const {
    if (target_ != nullptr)
        return target_;
    // The program's main window: the first top-level window of this thread
    // without an owner, other than the tray's own.
    struct Search {
        HWND skip1;
        HWND skip2;
        HWND found = nullptr;
    } search{window_, invisibleOwner_};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (window == s->skip1 || window == s->skip2 || GetWindow(window, GW_OWNER) != nullptr)
                return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void CSystemTray::HandleTrayMessage(WPARAM id, LPARAM mouseMessage) {
    switch (OnTrayMouse(static_cast<unsigned>(id), static_cast<unsigned>(mouseMessage))) {
        case TrayMouseAction::kShowMenu:
            ShowMenu();
            break;
        case TrayMouseAction::kDefaultCommand:
            SetForegroundWindow(Target());
            PostMessageW(Target(), WM_COMMAND, kTrayDefaultCommand, 0);
            break;
        case TrayMouseAction::kNone:
            break;
    }
}

void CSystemTray::CustomizeMenu(HMENU popup) {
    if (!switches_)
        return;
    std::vector<TrayMenuItem> items = TrayMenu(switches_());
    for (std::size_t position = 0; position < items.size(); ++position) {
        if (!items[position].switchText)
            continue;
        std::wstring text = Widen(items[position].text);
        ModifyMenuW(popup, static_cast<UINT>(position), MF_BYPOSITION | MF_STRING,
                    static_cast<UINT_PTR>(items[position].command), text.c_str());
    }
}

void CSystemTray::ShowMenu() {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_BX_TRAY_MENU));
    if (menu == nullptr)
        return;
    HMENU popup = GetSubMenu(menu, 0);
    if (popup != nullptr) {
        SetMenuDefaultItem(popup, 0, TRUE);
        CustomizeMenu(popup);
        HWND target = Target();
        // Without the foreground the menu would not close when the user
        // clicks elsewhere.
        SetForegroundWindow(target);
        POINT cursor{};
        GetCursorPos(&cursor);
        TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y,
                       0, target, nullptr);
        PostMessageW(target, WM_NULL, 0, 0);
    }
    DestroyMenu(menu);
}

RECT CSystemTray::TrayArea() const {
    TrayAreaSources sources;
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    HWND notify =
        taskbar != nullptr ? FindWindowExW(taskbar, nullptr, L"TrayNotifyWnd", nullptr) : nullptr;
    sources.notifyArea = WindowRectOf(notify);
    sources.clock = WindowRectOf(
        notify != nullptr ? FindWindowExW(notify, nullptr, L"TrayClockWClass", nullptr) : nullptr);
    APPBARDATA bar{};
    bar.cbSize = sizeof(bar);
    if (SHAppBarMessage(ABM_GETTASKBARPOS, &bar)) {
        sources.taskbar = FromRect(bar.rc);
        switch (bar.uEdge) {
            case ABE_LEFT:
                sources.taskbarEdge = TaskbarEdge::kLeft;
                break;
            case ABE_TOP:
                sources.taskbarEdge = TaskbarEdge::kTop;
                break;
            case ABE_RIGHT:
                sources.taskbarEdge = TaskbarEdge::kRight;
                break;
            default:
                sources.taskbarEdge = TaskbarEdge::kBottom;
                break;
        }
    }
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    sources.workArea = FromRect(work);
    return ToRect(ComputeTrayArea(sources));
}

namespace {

bool MinimizeAnimationOn() {
    ANIMATIONINFO animation{};
    animation.cbSize = sizeof(animation);
    SystemParametersInfoW(SPI_GETANIMATION, sizeof(animation), &animation, 0);
    return animation.iMinAnimate != 0;
}

}  // namespace

void CSystemTray::HideWindowToTray(HWND window, bool forceAnimation) {
    ShowWindow(window, SW_HIDE);
    if (forceAnimation || MinimizeAnimationOn()) {
        RECT from{};
        GetWindowRect(window, &from);
        RECT to = TrayArea();
        DrawAnimatedRects(window, IDANI_CAPTION, &from, &to);
    }
    // An owned window has no taskbar button: with a hidden owner the window
    // leaves the taskbar while it sits in the tray.
    if (invisibleOwner_ == nullptr) {
        invisibleOwner_ = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                          GetModuleHandleW(nullptr), nullptr);
    }
    if (invisibleOwner_ != nullptr)
        SetWindowLongPtrW(window, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(invisibleOwner_));
}

void CSystemTray::RestoreWindowFromTray(HWND window, bool forceAnimation) {
    if (forceAnimation || MinimizeAnimationOn()) {
        RECT from = TrayArea();
        RECT to{};
        GetWindowRect(window, &to);
        DrawAnimatedRects(window, IDANI_CAPTION, &from, &to);
    }
    SetWindowLongPtrW(window, GWLP_HWNDPARENT, 0);
    ShowWindow(window, SW_SHOW);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME | RDW_INVALIDATE | RDW_ERASE);
    if (invisibleOwner_ != nullptr)
        SetActiveWindow(invisibleOwner_);
    SetActiveWindow(window);
    SetForegroundWindow(window);
}

LRESULT CALLBACK CSystemTray::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CSystemTray*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->OnMessage(message, wParam, lParam);
}

LRESULT CSystemTray::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == taskbarCreated_ && message != 0) {
        model_.OnTaskbarCreated();
        return 0;
    }
    if (message == maximizeFromTray_ && message != 0) {
        // "Open Brindlex" restores the window and hides the icon; the main
        // window keeps its own state in step that way.
        if (IconShown())
            SendMessageW(Target(), WM_COMMAND, kTrayDefaultCommand, 0);
        else
            SetForegroundWindow(Target());
        return 0;
    }
    switch (message) {
        case WM_SETTINGCHANGE:
            if (wParam == SPI_SETWORKAREA)
                model_.OnWorkAreaChanged();
            break;
        case WM_CLOSE:
            if (close_)
                close_();
            return 0;
        case WM_QUERYENDSESSION: {
            LRESULT agreed = DefWindowProcW(window_, message, wParam, lParam);
            if (agreed && IconShown()) {
                SendMessageW(Target(), WM_COMMAND, kTrayDefaultCommand, 0);
                return SendMessageW(Target(), WM_QUERYENDSESSION, wParam, lParam);
            }
            return agreed;
        }
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace app
