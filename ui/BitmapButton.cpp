#include "ui/BitmapButton.h"

#include <string>

#include "ui/Dialog.h"

namespace ui {
namespace {

constexpr int kStateCount = 4;
enum StateImage { kNormal = 0, kHot = 1, kPressed = 2, kDisabled = 3 };

}  // namespace

CBitmapButton::~CBitmapButton() {
    if (bitmap_ != nullptr)
        DeleteObject(bitmap_);
    if (font_ != nullptr)
        DeleteObject(font_);
}

bool CBitmapButton::Attach(HWND button, int bitmapId) {
    if (!CWindowSubclass::Attach(button))
        return false;
    bitmap_ = static_cast<HBITMAP>(LoadImageW(CDialog::Instance(), MAKEINTRESOURCEW(bitmapId),
                                              IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    style = (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW;
    SetWindowLongPtrW(button, GWL_STYLE, style);
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(Send(WM_GETFONT)), sizeof(font), &font);
    font.lfWeight = FW_BOLD;
    font_ = CreateFontIndirectW(&font);
    InvalidateRect(button, nullptr, TRUE);
    return true;
}

bool CBitmapButton::DrawItem(const DRAWITEMSTRUCT& draw) {
    if (draw.hwndItem != hwnd())
        return false;
    HDC dc = draw.hDC;
    const RECT& rect = draw.rcItem;
    int state = kNormal;
    if ((draw.itemState & ODS_DISABLED) != 0)
        state = kDisabled;
    else if ((draw.itemState & ODS_SELECTED) != 0)
        state = kPressed;
    else if (hot_ || (draw.itemState & ODS_FOCUS) != 0)
        state = kHot;
    BITMAP info{};
    if (bitmap_ != nullptr && GetObjectW(bitmap_, sizeof(info), &info) != 0) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, bitmap_);
        const int height = info.bmHeight / kStateCount;
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, memory,
                   0, height * state, info.bmWidth, height, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    } else {
        HBRUSH brush =
            CreateSolidBrush(state == kDisabled ? RGB(0x60, 0x70, 0x80) : RGB(0x0E, 0x5A, 0x7A));
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }
    int length = GetWindowTextLengthW(hwnd());
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd(), text.data(), length + 1)));
    RECT textRect = rect;
    if (state == kPressed)
        OffsetRect(&textRect, 1, 1);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(dc, font_);
    // A dark shadow keeps the white caption readable on the light end of
    // the gradient.
    RECT shadow = textRect;
    OffsetRect(&shadow, 1, 1);
    SetTextColor(dc, RGB(0x05, 0x20, 0x30));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &shadow,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(dc, state == kDisabled ? RGB(0xA8, 0xB4, 0xC0) : RGB(0xFF, 0xFF, 0xFF));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, oldFont);
    if ((draw.itemState & ODS_FOCUS) != 0) {
        RECT focus = rect;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
    return true;
}

LRESULT CBitmapButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEMOVE:
            if (!hot_) {
                hot_ = true;
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd(), 0};
                TrackMouseEvent(&track);
                InvalidateRect(hwnd(), nullptr, FALSE);
            }
            break;
        case WM_MOUSELEAVE:
            hot_ = false;
            InvalidateRect(hwnd(), nullptr, FALSE);
            break;
        case WM_ERASEBKGND:
            return 1;
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace ui
