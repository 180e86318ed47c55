#include "app/win32/LoadSignaturesDialog.h"

#include <commctrl.h>

#include "app/win32/BackgroundPainter.h"
#include "app/win32/res/MainIds.h"
#include "settings/Messages.h"

namespace app {

static_assert(IDD_BX_LOADING == resources::kLoadingDialog);
static_assert(IDB_BX_LOADING == resources::kLoadingBitmap);

void ProgressBarLoadProgress::SetRange(int lower, int upper) {
    if (bar_ == nullptr)
        return;
    SendMessageW(bar_, PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
    SendMessageW(bar_, PBM_SETSTEP, 1, 0);
    SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(lower), 0);
}

void ProgressBarLoadProgress::Step() {
    if (bar_ == nullptr)
        return;
    SendMessageW(bar_, PBM_STEPIT, 0, 0);
    UpdateWindow(bar_);
}

CLoadSignaturesDialog::CLoadSignaturesDialog(HWND parent,
                                             std::function<bool(HWND)> loadReferenceFile)
    : CDialog(resources::kLoadingDialog, parent),
      loadReferenceFile_(std::move(loadReferenceFile)) {}

CLoadSignaturesDialog::~CLoadSignaturesDialog() {
    if (bitmap_ != nullptr)
        DeleteObject(bitmap_);
}

bool CLoadSignaturesDialog::OnInitDialog() {
    bitmap_ = static_cast<HBITMAP>(LoadImageW(Instance(), MAKEINTRESOURCEW(IDB_BX_LOADING),
                                              IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info{};
    if (bitmap_ != nullptr && GetObjectW(bitmap_, sizeof(info), &info) != 0) {
        // The window becomes the bitmap's size plus its frame.
        RECT frame{0, 0, info.bmWidth, info.bmHeight};
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongPtrW(hwnd(), GWL_EXSTYLE)));
        SetWindowPos(hwnd(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER);
    }
    CenterOnOwner(hwnd());
    SetTimer(hwnd(), timers::kLoadReference, timers::kLoadReferenceDelayMs, nullptr);
    return true;
}

void CLoadSignaturesDialog::OnTimer(UINT_PTR id) {
    if (id != timers::kLoadReference)
        return;
    KillTimer(hwnd(), id);
    bool loaded = loadReferenceFile_ && loadReferenceFile_(Item(IDC_BX_LOADING_PROGRESS));
    EndDialog(loaded ? IDOK : IDCANCEL);
}

bool CLoadSignaturesDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_ERASEBKGND) {
        RECT client{};
        GetClientRect(hwnd(), &client);
        PaintBitmapStretched(reinterpret_cast<HDC>(wParam), bitmap_, client);
        result = TRUE;
        return true;
    }
    if (message == WM_CTLCOLORSTATIC) {
        // White text over the part of the bitmap under the control.
        auto dc = reinterpret_cast<HDC>(wParam);
        auto control = reinterpret_cast<HWND>(lParam);
        PaintParentBitmapUnder(dc, control, hwnd(), bitmap_);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkMode(dc, TRANSPARENT);
        result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return true;
    }
    return false;
}

}  // namespace app
