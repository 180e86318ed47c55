#include "app/win32/dialogs/RemovalDialog.h"

#include <utility>

#include "app/win32/dialogs/DialogIds.h"

namespace app {

namespace {

// Steps the progress bar and paints it at once: the pass holds the message
// loop while it runs.
class ProgressBarSteps : public removal::RemovalProgress {
  public:
    explicit ProgressBarSteps(HWND bar) : bar_(bar) {}
    void Step() override {
        SendMessageW(bar_, PBM_STEPIT, 0, 0);
        UpdateWindow(bar_);
    }

  private:
    HWND bar_;
};

}  // namespace

CRemovalDialog::CRemovalDialog(AppContext&, HWND parent, int totalCount, Pass pass)
    : ui::CDialog(IDD_BX_REMOVAL, parent), totalCount_(totalCount), pass_(std::move(pass)) {}

bool CRemovalDialog::OnInitDialog() {
    background_ = LoadBitmapResource(IDB_BX_REMOVAL);
    HWND bar = Item(IDC_BX_PROGRESS);
    SendMessageW(bar, PBM_SETRANGE32, 0, totalCount_);
    SendMessageW(bar, PBM_SETSTEP, 1, 0);
    SetItemText(IDC_BX_PROGRESS_TEXT, "");
    SetTimer(hwnd(), kPassTimer, 1, nullptr);
    return true;
}

void CRemovalDialog::OnTimer(UINT_PTR id) {
    if (id != kPassTimer || running_)
        return;
    KillTimer(hwnd(), kPassTimer);
    running_ = true;
    // A modal dialog first shows when its queue runs dry, which a 1 ms timer
    // can beat: show and paint it now, since the pass holds the loop.
    ShowWindow(hwnd(), SW_SHOW);
    RedrawWindow(hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    ProgressBarSteps progress(Item(IDC_BX_PROGRESS));
    restartNeeded_ = pass_ ? pass_(progress) : false;
    EndDialog(restartNeeded_ ? IDCANCEL : IDOK);
}

void CRemovalDialog::OnCancel() {
    // Esc or the close box must not cut a removal short: the dialog ends
    // only when its pass has run.
}

bool CRemovalDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message == WM_ERASEBKGND) {
        auto dc = reinterpret_cast<HDC>(wParam);
        RECT client{};
        GetClientRect(hwnd(), &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        DrawBitmap(dc, background_.Get(), 0, 0);
        result = TRUE;
        return true;
    }
    if (message == WM_CTLCOLORSTATIC) {
        auto dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
        return true;
    }
    return false;
}

}  // namespace app
