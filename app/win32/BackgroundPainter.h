#pragma once
// Painting a window's bitmap background and the transparent static texts
// over it.
#include "platform/win32/Windows.h"

namespace app {

// `bitmap` stretched over `target` (nothing without a bitmap).
void PaintBitmapStretched(HDC dc, HBITMAP bitmap, const RECT& target);

// Copies into `dc`, the DC of `control`, the part of `bitmap` (stretched over
// the client area of `parent`) that lies under the control, so that a static
// control drawn with a hollow brush erases its old text.
void PaintParentBitmapUnder(HDC dc, HWND control, HWND parent, HBITMAP bitmap);

// Centres `window` on its owner, or on the work area without one.
void CenterOnOwner(HWND window);

}  // namespace app
