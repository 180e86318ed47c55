#include "app/win32/dialogs/NotificationPopup.h"

#include <algorithm>

#include "app/win32/dialogs/DialogIds.h"
#include "platform/win32/WideText.h"

namespace app {

using platform::win32::Widen;

namespace {

void Place(HWND control, const Rect& rect) {
    MoveWindow(control, rect.left, rect.top, rect.width(), rect.height(), FALSE);
}

// The height of one line of `control`'s font, with a pixel above and below.
int LineHeight(HWND control) {
    HDC dc = GetDC(control);
    auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    TEXTMETRICW metrics{};
    {
        SelectedObject selected(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
        GetTextMetricsW(dc, &metrics);
    }
    ReleaseDC(control, dc);
    return static_cast<int>(metrics.tmHeight) + 2;
}

}  // namespace

CNotificationPopup::CNotificationPopup() : ui::CDialog(IDD_BX_POPUP, nullptr) {}

bool CNotificationPopup::Show() {
    if (!Create())
        return false;
    shown_ = true;
    ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    UpdateWindow(hwnd());
    return true;
}

void CNotificationPopup::WaitUntilClosed() {
    MSG msg;
    while (!closed() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool CNotificationPopup::OnInitDialog() {
    bitmap_ = LoadBitmapResource(IDB_BX_POPUP);
    titleFont_ = UniqueGdiObject(
        CreateFontW(popup::kTitleFontHeight, 0, 0, 0, popup::kTitleFontWeight, FALSE, FALSE, FALSE,
                    DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_SWISS, Widen(popup::kTitleFontName).c_str()));
    ShowItem(IDC_BX_POPUP_CHECK, showCheckBox);

    RECT window{};
    GetWindowRect(hwnd(), &window);
    PopupScale scale = ComputePopupScale(window.right - window.left, window.bottom - window.top);
    PopupRects rects = ScaledPopupRects(scale);
    Place(Item(IDC_BX_POPUP_YES), rects.yes);
    Place(Item(IDC_BX_POPUP_NO), rects.no);
    // The box's place is 10 pixels high, less than a line of the dialog
    // font: it keeps its top and grows to fit one line, or nothing shows.
    Rect checkBox = rects.checkBox;
    checkBox.bottom =
        std::max(checkBox.bottom, checkBox.top + LineHeight(Item(IDC_BX_POPUP_CHECK)));
    Place(Item(IDC_BX_POPUP_CHECK), checkBox);
    Place(Item(IDC_BX_POPUP_MESSAGE), rects.message);
    titleRect_ = rects.title;
    SetItemText(IDC_BX_POPUP_MESSAGE, message);

    // Without a caption the window is all bitmap.
    LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
    SetWindowLongPtrW(hwnd(), GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_CAPTION));
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (notifyMode) {
        ShowItem(IDC_BX_POPUP_YES, false);
        ShowItem(IDC_BX_POPUP_NO, false);
    }

    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    Rect finalRect = PopupFinalRect(Rect{work.left, work.top, work.right, work.bottom},
                                    popup::kBitmapWidth * scale.x, popup::kBitmapHeight * scale.y);
    slide_.emplace(finalRect, notifyMode);
    Apply(slide_->Start());
    return false;  // the popup must not take the focus
}

void CNotificationPopup::Apply(const PopupActions& actions) {
    if (actions.moveTo) {
        const Rect& rect = *actions.moveTo;
        SetWindowPos(hwnd(), HWND_TOPMOST, rect.left, rect.top, rect.width(), rect.height(),
                     SWP_NOACTIVATE);
    }
    if (actions.killTimer)
        KillTimer(hwnd(), *actions.killTimer);
    if (actions.startTimer)
        SetTimer(hwnd(), actions.startTimer->id, actions.startTimer->delayMs, nullptr);
    if (actions.close) {
        checkState = IsChecked(IDC_BX_POPUP_CHECK) ? 1 : 0;
        result = slide_->answeredYes() ? 1 : 0;
        EndDialog(result != 0 ? IDYES : IDNO);
    }
}

bool CNotificationPopup::OnCommand(int id, int code) {
    if ((id == IDC_BX_POPUP_YES || id == IDC_BX_POPUP_NO) && slide_) {
        Apply(slide_->OnAnswer(id == IDC_BX_POPUP_YES));
        return true;
    }
    if (id == IDOK || id == IDCANCEL)
        return true;  // Enter and Esc do not answer for the user
    return ui::CDialog::OnCommand(id, code);
}

void CNotificationPopup::OnTimer(UINT_PTR id) {
    if (slide_)
        Apply(slide_->OnTimer(static_cast<unsigned>(id)));
}

void CNotificationPopup::DrawBackground(HDC dc, int offsetX, int offsetY) {
    RECT client{};
    GetClientRect(hwnd(), &client);
    BITMAP info{};
    if (!bitmap_ || GetObjectW(bitmap_.Get(), sizeof(info), &info) == 0) {
        OffsetRect(&client, -offsetX, -offsetY);
        FillRect(dc, &client, GetSysColorBrush(COLOR_INFOBK));
        return;
    }
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    SelectedObject selected(memory.Get(), bitmap_.Get());
    // Scaled to the width; while the window slides in only its top part
    // shows.
    StretchBlt(dc, -offsetX, -offsetY, client.right, client.right * info.bmHeight / info.bmWidth,
               memory.Get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
}

void CNotificationPopup::Paint(HDC dc) {
    DrawBackground(dc, 0, 0);
    std::wstring text = Widen(title);
    RECT titleRect{titleRect_.left, titleRect_.top, titleRect_.right, titleRect_.bottom};
    SelectedObject font(dc, titleFont_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &titleRect,
              DT_SINGLELINE | DT_BOTTOM | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
}

bool CNotificationPopup::OnMessage(UINT windowMessage, WPARAM wParam, LPARAM lParam,
                                   LRESULT& answer) {
    switch (windowMessage) {
        case WM_ERASEBKGND:
            answer = TRUE;  // WM_PAINT covers everything
            return true;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd(), &paint);
            Paint(dc);
            EndPaint(hwnd(), &paint);
            answer = 0;
            return true;
        }
        case WM_CTLCOLORSTATIC: {
            // The popup clips its children, so each transparent control
            // draws the part of the bitmap behind it first.
            auto dc = reinterpret_cast<HDC>(wParam);
            auto control = reinterpret_cast<HWND>(lParam);
            POINT origin{0, 0};
            MapWindowPoints(control, hwnd(), &origin, 1);
            DrawBackground(dc, origin.x, origin.y);
            SetBkMode(dc, TRANSPARENT);
            bool checkBox = control == Item(IDC_BX_POPUP_CHECK);
            SetTextColor(dc, checkBox ? RGB(255, 255, 255) : RGB(0, 0, 0));
            answer = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace app
