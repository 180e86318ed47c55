#include "app/win32/dialogs/UpdateDialogs.h"

#include "app/win32/dialogs/DialogIds.h"
#include "settings/SettingsStore.h"
#include "update/UpdateCheck.h"
#include "update/UpdateKey.h"
#include "update/UpdateServer.h"
#include "update/UpdateTexts.h"

namespace app {

namespace {

update::UpdateAddresses Addresses(AppContext& context) {
    settings::SettingsStore settings(context.system);
    return update::ConfiguredAddresses(settings);
}

// WPARAM carries the status as a signed number (-1 and -2 end the dialog).
WPARAM StatusParam(int status) {
    return static_cast<WPARAM>(static_cast<INT_PTR>(status));
}
int StatusFromParam(WPARAM wParam) {
    return static_cast<int>(static_cast<INT_PTR>(wParam));
}

}  // namespace

CUpdateCheckDialog::CUpdateCheckDialog(AppContext& context, HWND parent)
    : ui::CPromptingDialog(IDD_BX_UPDATE_CHECK, parent), context_(context) {}

bool CUpdateCheckDialog::OnInitDialog() {
    SetTimer(hwnd(), kCheckTimer, kCheckDelayMs, nullptr);
    return true;
}

void CUpdateCheckDialog::OnTimer(UINT_PTR id) {
    if (id != kCheckTimer)
        return;
    KillTimer(hwnd(), kCheckTimer);
    update::UpdateChecker checker(context_.system, updatePrompts(), Addresses(context_));
    EndDialog(checker.ConfirmUpdate() ? IDOK : IDCANCEL);
}

// The worker's reports as WM_DOWNLOAD_STATUS: percentages are sent (the
// download waits until the bar shows them), the final status is posted.
class CDownloadDialog::StatusToWindow : public update::DownloadStatusSink {
  public:
    explicit StatusToWindow(HWND window) : window_(window) {}
    void SendStatus(int percent) override {
        SendMessageW(window_, update::kWmDownloadStatus, StatusParam(percent), 0);
    }
    void PostStatus(int status) override {
        PostMessageW(window_, update::kWmDownloadStatus, StatusParam(status), 0);
    }

  private:
    HWND window_;
};

CDownloadDialog::CDownloadDialog(AppContext& context, HWND parent)
    : ui::CPromptingDialog(IDD_BX_DOWNLOAD, parent), context_(context) {}

CDownloadDialog::~CDownloadDialog() {
    JoinWorker();
}

bool CDownloadDialog::OnInitDialog() {
    SendMessageW(Item(IDC_BX_PROGRESS), PBM_SETRANGE32, 0, 100);
    sink_ = std::make_unique<StatusToWindow>(hwnd());
    worker_ = std::make_unique<update::DownloadWorker>(
        context_.system, updatePrompts(), *sink_, Addresses(context_), update::UpdatePublicKey());
    if (!update::StartDownloadThread(*worker_, updatePrompts(), &thread_))
        EndDialog(IDCANCEL);
    return true;
}

void CDownloadDialog::OnCancel() {
    // "Abort" (and Esc) only ask the worker to stop; it ends the dialog
    // through its last report.
    update::RequestDownloadAbort();
}

void CDownloadDialog::OnDestroy() {
    JoinWorker();
}

void CDownloadDialog::JoinWorker() {
    // The dialog ends only on the worker's last report, after which the
    // worker returns at once.
    if (thread_.joinable())
        thread_.join();
}

bool CDownloadDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message != update::kWmDownloadStatus)
        return false;
    update::StatusView view = update::DescribeStatus(StatusFromParam(wParam));
    switch (view.kind) {
        case update::StatusView::Kind::kEndOk:
            EndDialog(IDOK);
            break;
        case update::StatusView::Kind::kEndCancel:
            EndDialog(IDCANCEL);
            break;
        case update::StatusView::Kind::kProgress:
            SendMessageW(Item(IDC_BX_PROGRESS), PBM_SETPOS, static_cast<WPARAM>(view.percent), 0);
            SetItemText(IDC_BX_PROGRESS_TEXT, view.text);
            break;
    }
    result = 0;
    return true;
}

bool RunUpdate(AppContext& context, HWND parent, const UpdateHooks& hooks) {
    ui::MessageBoxPrompts boxes(parent);
    update::UpdatePrompts& prompts = hooks.prompts != nullptr ? *hooks.prompts : boxes;
    CDownloadDialog download(context, parent);
    download.SetUpdatePrompts(prompts);
    if (download.DoModal() != IDOK)
        return false;
    if (hooks.clearRows)
        hooks.clearRows();
    else
        context.rows.Clear();
    if (hooks.reload) {
        hooks.reload();
    } else {
        std::string path;
        if (settings::SettingsStore(context.system).GetSetting("rfp", &path))
            context.database.LoadReference(path);
    }
    prompts.Show({update::texts::kUpdateInstalled, update::texts::kProgramCaption});
    return true;
}

}  // namespace app
