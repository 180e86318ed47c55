#include "app/win32/BackgroundPainter.h"

namespace app {

void PaintBitmapStretched(HDC dc, HBITMAP bitmap, const RECT& target) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0) {
        FillRect(dc, &target, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, target.left, target.top, target.right - target.left, target.bottom - target.top,
               memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void PaintParentBitmapUnder(HDC dc, HWND control, HWND parent, HBITMAP bitmap) {
    RECT client{};
    GetClientRect(parent, &client);
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
    // The parent's whole picture, shifted so that the control's corner
    // lands at the DC's origin; the control's clipping keeps the rest out.
    RECT shifted = client;
    OffsetRect(&shifted, -place.left, -place.top);
    PaintBitmapStretched(dc, bitmap, shifted);
}

void CenterOnOwner(HWND window) {
    RECT own{};
    GetWindowRect(window, &own);
    RECT area{};
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    const int width = own.right - own.left;
    const int height = own.bottom - own.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace app
