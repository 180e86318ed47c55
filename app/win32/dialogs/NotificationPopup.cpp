#include "app/win32/dialogs/NotificationPopup.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/win32/dialogs/DialogIds.h"
#include "platform/win32/WideText.h"

namespace app {

using platform::win32::Widen;

namespace {

void Place(HWND control, const Rect& rect) {
    MoveWindow(control, rect.left, rect.top, rect.width(), rect.height(), FALSE);
}

// The height `control`'s text takes when the button wraps it to the
// control's width: a check box draws its text beside the box (13 pixels at
// 96 DPI) and a gap (half a digit's width; a whole one is reserved here), so
// that much is not the text's.
int WrappedCheckBoxTextHeight(HWND control, int width) {
    HDC dc = GetDC(control);
    auto font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    int height = 0;
    {
        SelectedObject selected(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
        SIZE digit{};
        GetTextExtentPoint32W(dc, L"0", 1, &digit);
        const int box = MulDiv(13, GetDeviceCaps(dc, LOGPIXELSX), 96);
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
        RECT bounds{0, 0, std::max(1L, static_cast<LONG>(width - box) - digit.cx), 0};
        height = DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
                           DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    }
    ReleaseDC(control, dc);
    return height + 2;  // a pixel above and below
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
    ShowItem(IDC_BX_POPUP_CHECK, showCheckBox);

    RECT client{};
    GetClientRect(hwnd(), &client);
    scale_ = ComputePopupScale(client.right, client.bottom);
    titleFont_ = UniqueGdiObject(CreateFontW(
        ScaledTitleFontHeight(scale_), 0, 0, 0, popup::kTitleFontWeight, FALSE, FALSE, FALSE,
        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
        DEFAULT_PITCH | FF_SWISS, Widen(popup::kTitleFontName).c_str()));
    PopupRects rects = ScaledPopupRects(scale_);
    Place(Item(IDC_BX_POPUP_YES), rects.yes);
    Place(Item(IDC_BX_POPUP_NO), rects.no);
    // The box's text is longer than one line of its place: it wraps, and the
    // box grows down to its lines (the popup with it).
    Rect checkBox = rects.checkBox;
    if (showCheckBox) {
        checkBox = GrownCheckBox(
            checkBox, WrappedCheckBoxTextHeight(Item(IDC_BX_POPUP_CHECK), checkBox.width()));
    }
    Place(Item(IDC_BX_POPUP_CHECK), checkBox);
    size_ = PopupClientSize(scale_, checkBox);
    Place(Item(IDC_BX_POPUP_MESSAGE), rects.message);
    titleRect_ = rects.title;
    SetItemText(IDC_BX_POPUP_MESSAGE, message);
    // The title is painted; as the window's text too, it can be read back.
    SetText(title);

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
    Rect finalRect = PopupFinalRect(Rect{work.left, work.top, work.right, work.bottom}, size_.width,
                                    size_.height);
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
    // At the popup's full size; while it slides in only its top part shows.
    RECT full{-offsetX, -offsetY, size_.width - offsetX, size_.height - offsetY};
    BITMAP info{};
    if (!bitmap_ || GetObjectW(bitmap_.Get(), sizeof(info), &info) == 0 ||
        info.bmHeight <= popup::kBandTop) {
        FillRect(dc, &full, GetSysColorBrush(COLOR_INFOBK));
        return;
    }
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    SelectedObject selected(memory.Get(), bitmap_.Get());
    SetStretchBltMode(dc, COLORONCOLOR);
    // The part above the band at the layout's scale, then the band down to
    // the bottom, however much taller than the bitmap the popup grew.
    const int bandTop = static_cast<int>(std::lround(popup::kBandTop * scale_.y));
    StretchBlt(dc, full.left, full.top, size_.width, bandTop, memory.Get(), 0, 0, info.bmWidth,
               popup::kBandTop, SRCCOPY);
    StretchBlt(dc, full.left, full.top + bandTop, size_.width, size_.height - bandTop, memory.Get(),
               0, popup::kBandTop, info.bmWidth, info.bmHeight - popup::kBandTop, SRCCOPY);
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
