#pragma once
// The header of CXListCtrl: column images from one bitmap strip.
#include "platform/win32/Windows.h"

#include <commctrl.h>

#include "ui/WindowSubclass.h"

namespace ui {

class CXHeaderCtrl : public CWindowSubclass {
  public:
    CXHeaderCtrl() = default;
    ~CXHeaderCtrl() override;

    // Loads the strip `bitmapId` of `imageWidth`-pixel images, `transparent`
    // being the colour that shows the header through; false when the bitmap
    // is missing.
    bool SetImageList(int bitmapId, int imageWidth, COLORREF transparent);
    // Shows image `image` of the strip left of the column's text.
    void SetItemImage(int column, int image);
    int GetItemCount() const;
    // The height of the first item, 0 without items.
    int ItemHeight() const;

  private:
    HIMAGELIST images_ = nullptr;
};

}  // namespace ui
