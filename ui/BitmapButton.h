#pragma once
// An owner-drawn push button over a bitmap with four stacked state images
// (normal, hot, pressed, disabled), stretched to the button; the caption is
// drawn over it. Without the bitmap it falls back to a flat colour.
#include "platform/win32/Windows.h"

#include "ui/WindowSubclass.h"

namespace ui {

class CBitmapButton : public CWindowSubclass {
  public:
    CBitmapButton() = default;
    ~CBitmapButton() override;

    // Makes `button` owner-drawn with the strip `bitmapId`.
    bool Attach(HWND button, int bitmapId);
    // The parent forwards WM_DRAWITEM of this button; true when drawn.
    bool DrawItem(const DRAWITEMSTRUCT& draw);

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    HBITMAP bitmap_ = nullptr;
    HFONT font_ = nullptr;
    bool hot_ = false;
};

}  // namespace ui
