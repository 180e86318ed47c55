#include "app/win32/dialogs/PreferencesDialog.h"

#include <commdlg.h>
#include <shlobj.h>

#include <array>
#include <memory>
#include <string>

#include "app/win32/dialogs/DialogIds.h"
#include "app/win32/dialogs/UpdateDialogs.h"
#include "platform/win32/WideText.h"
#include "settings/Messages.h"

namespace app {

namespace ids = preferences_dialog;
using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

// The framework's "|"-separated filter as the zero-separated list the
// open-file dialog wants.
std::wstring FilterList(std::string_view filter) {
    std::wstring list = Widen(filter);
    for (wchar_t& c : list) {
        if (c == L'|')
            c = L'\0';
    }
    return list;
}

// Frees what the shell allocated for an item list.
struct ItemListDeleter {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};

}  // namespace

// The file questions of OK from the platform; the download is the real
// download dialog.
class CPreferencesDialog::OkHost : public FileSystemOkHost {
  public:
    explicit OkHost(CPreferencesDialog& dialog)
        : FileSystemOkHost(dialog.context_.system.files), dialog_(dialog) {}
    bool RunDownload() override {
        CDownloadDialog download(dialog_.context_, dialog_.hwnd());
        download.SetUpdatePrompts(dialog_.updatePrompts());
        return download.DoModal() == IDOK;
    }

  private:
    CPreferencesDialog& dialog_;
};

CPreferencesDialog::CPreferencesDialog(AppContext& context, HWND parent)
    : ui::CPromptingDialog(IDD_BX_PREFERENCES, parent), context_(context) {}

bool CPreferencesDialog::OnInitDialog() {
    settings::SettingsStore settings(context_.system);
    LoadPreferences(settings, &data_);
    SetItemText(ids::kLogFolderEdit, data_.logFolder);
    SetItemText(ids::kReferenceFileEdit, data_.referenceFile);
    SetChecked(ids::kRunAtStartup, data_.ras);
    SetChecked(ids::kScanAtStartup, data_.sas);
    SetChecked(ids::kSaveLogFile, data_.asl);
    SetChecked(ids::kConfirmRemoval, data_.abrs);
    SetChecked(ids::kCheckForUpdates, data_.acu);
    SetChecked(ids::kSaveScanLogs, data_.scnlg);
    return true;
}

bool CPreferencesDialog::OnCommand(int id, int code) {
    switch (id) {
        case ids::kRunAtStartup:
        case ids::kScanAtStartup: {
            if (code != BN_CLICKED)
                return false;
            bool run = IsChecked(ids::kRunAtStartup);
            bool scan = IsChecked(ids::kScanAtStartup);
            LinkStartupBoxes(id == ids::kRunAtStartup ? StartupBox::kRun : StartupBox::kScan, &run,
                             &scan);
            SetChecked(ids::kRunAtStartup, run);
            SetChecked(ids::kScanAtStartup, scan);
            return true;
        }
        case ids::kLogFolderBrowse:
            BrowseLogFolder();
            return true;
        case ids::kReferenceFileBrowse:
            BrowseReferenceFile();
            return true;
        default:
            return ui::CDialog::OnCommand(id, code);
    }
}

void CPreferencesDialog::BrowseLogFolder() {
    std::wstring title = Widen(ids::kFolderBrowserTitle);
    BROWSEINFOW info{};
    // Owned by the main window, as the dialog itself is.
    info.hwndOwner = parent() != nullptr ? parent() : hwnd();
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    std::unique_ptr<ITEMIDLIST, ItemListDeleter> chosen(SHBrowseForFolderW(&info));
    if (!chosen)
        return;  // cancelled: the text stays
    std::array<wchar_t, MAX_PATH> path{};
    if (!SHGetPathFromIDListW(chosen.get(), path.data())) {
        prompts().Ask(ids::kFolderNotUsable, kMessageCaption, removal::Buttons::kOk);
        return;
    }
    SetItemText(ids::kLogFolderEdit, Narrow(path.data()));
}

void CPreferencesDialog::BrowseReferenceFile() {
    std::wstring filter = FilterList(ids::kReferenceFileFilter);
    std::array<wchar_t, MAX_PATH> file{};
    std::wstring current = Widen(ItemText(ids::kReferenceFileEdit));
    current.copy(file.data(), file.size() - 1);
    OPENFILENAMEW open{};
    open.lStructSize = sizeof(open);
    open.hwndOwner = hwnd();
    open.lpstrFilter = filter.c_str();
    open.lpstrFile = file.data();
    open.nMaxFile = static_cast<DWORD>(file.size());
    open.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (GetOpenFileNameW(&open))
        SetItemText(ids::kReferenceFileEdit, Narrow(file.data()));
}

void CPreferencesDialog::OnOK() {
    PreferencesData data = data_;
    data.logFolder = ItemText(ids::kLogFolderEdit);
    data.referenceFile = ItemText(ids::kReferenceFileEdit);
    data.ras = IsChecked(ids::kRunAtStartup);
    data.sas = IsChecked(ids::kScanAtStartup);
    data.asl = IsChecked(ids::kSaveLogFile);
    data.abrs = IsChecked(ids::kConfirmRemoval);
    data.acu = IsChecked(ids::kCheckForUpdates);
    data.scnlg = IsChecked(ids::kSaveScanLogs);
    settings::SettingsStore settings(context_.system);
    OkHost host(*this);
    if (!ApplyPreferences(data, settings, host, prompts()))
        return;  // a path check keeps the dialog open
    data_ = data;
    EndDialog(IDOK);
}

}  // namespace app
