#include "ui/XHeaderCtrl.h"

#include "ui/Dialog.h"

namespace ui {

CXHeaderCtrl::~CXHeaderCtrl() {
    if (hwnd() != nullptr)
        Send(HDM_SETIMAGELIST, HDSIL_NORMAL, 0);
    if (images_ != nullptr)
        ImageList_Destroy(images_);
}

bool CXHeaderCtrl::SetImageList(int bitmapId, int imageWidth, COLORREF transparent) {
    HIMAGELIST images =
        ImageList_LoadImageW(CDialog::Instance(), MAKEINTRESOURCEW(bitmapId), imageWidth, 1,
                             transparent, IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (images == nullptr)
        return false;
    Send(HDM_SETIMAGELIST, HDSIL_NORMAL, reinterpret_cast<LPARAM>(images));
    if (images_ != nullptr)
        ImageList_Destroy(images_);
    images_ = images;
    return true;
}

void CXHeaderCtrl::SetItemImage(int column, int image) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!Send(HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item)))
        return;
    item.mask = HDI_FORMAT | HDI_IMAGE;
    item.fmt |= HDF_IMAGE;
    item.iImage = image;
    Send(HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
}

int CXHeaderCtrl::GetItemCount() const {
    return static_cast<int>(Send(HDM_GETITEMCOUNT));
}

int CXHeaderCtrl::ItemHeight() const {
    RECT rect{};
    if (!Send(HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rect)))
        return 0;
    return rect.bottom - rect.top;
}

}  // namespace ui
