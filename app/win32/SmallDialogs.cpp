#include "app/win32/SmallDialogs.h"

#include "app/ScanSettings.h"
#include "app/win32/res/MainIds.h"
#include "platform/win32/WideText.h"
#include "settings/Strings.h"

namespace app {

static_assert(IDD_BX_SCAN_SETTINGS == resources::kScanSettingsDialog);
static_assert(IDC_BX_SCAN_SMART == scan_settings_dialog::kSmartScanRadio);
static_assert(IDC_BX_SCAN_FULL == scan_settings_dialog::kFullScanRadio);
static_assert(IDC_BX_SCAN_SUBFOLDERS == scan_settings_dialog::kSubfoldersCheck);
static_assert(IDC_BX_SCAN_ZIP == scan_settings_dialog::kZipFilesCheck);
static_assert(IDC_BX_SCAN_INTRO == scan_settings_dialog::kIntroText);
static_assert(IDC_BX_SCAN_WARNING == scan_settings_dialog::kWarningText);
static_assert(IDD_BX_ABOUT == resources::kAboutDialog);
static_assert(IDD_BX_MINIMIZE_NOTICE == resources::kMinimizeNoticeDialog);
static_assert(IDS_BX_MINIMIZE_NOTICE == settings::strings::kIdsMinimizeNotice);

std::string LoadResourceString(int id, std::string_view fallback) {
    const wchar_t* text = nullptr;
    // With a zero length the call hands out a pointer into the resource.
    int length = LoadStringW(ui::CDialog::Instance(), static_cast<UINT>(id),
                             reinterpret_cast<wchar_t*>(&text), 0);
    if (length <= 0 || text == nullptr)
        return std::string(fallback);
    return platform::win32::Narrow(std::wstring_view(text, static_cast<std::size_t>(length)));
}

CScanSettingsDialog::CScanSettingsDialog(AppContext& context, HWND parent)
    : CDialog(resources::kScanSettingsDialog, parent), context_(context) {}

bool CScanSettingsDialog::OnInitDialog() {
    namespace ids = scan_settings_dialog;
    SetItemText(ids::kIntroText, ids::kIntro);
    SetItemText(ids::kWarningText, ids::kWarning);
    ScanSettingsData data = LoadScanSettings(context_.system.registry);
    SetChecked(ids::kSmartScanRadio, data.smartScan);
    SetChecked(ids::kFullScanRadio, !data.smartScan);
    SetChecked(ids::kSubfoldersCheck, data.includeSubfolders);
    SetChecked(ids::kZipFilesCheck, data.includeZipFiles);
    return true;
}

void CScanSettingsDialog::OnOK() {
    namespace ids = scan_settings_dialog;
    ScanSettingsData data;
    data.smartScan = !IsChecked(ids::kFullScanRadio);
    data.includeSubfolders = IsChecked(ids::kSubfoldersCheck);
    data.includeZipFiles = IsChecked(ids::kZipFilesCheck);
    SaveScanSettings(context_.system.registry, data);
    EndDialog(IDOK);
}

bool CScanSettingsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message != WM_CTLCOLORSTATIC ||
        reinterpret_cast<HWND>(lParam) != Item(scan_settings_dialog::kWarningText))
        return false;
    // The warning in red on the dialog's own background.
    auto dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, static_cast<COLORREF>(scan_settings_dialog::kWarningColour));
    SetBkMode(dc, TRANSPARENT);
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
}

CAboutDialog::CAboutDialog(HWND parent) : CDialog(resources::kAboutDialog, parent) {}

bool CAboutDialog::OnInitDialog() {
    text_.Attach(Item(IDC_BX_ABOUT_TEXT));
    text_.SetText(
        "<b>Brindlex v5.0</b>\n<font color=\"#1A7F86\">Anti-Spyware and Adware "
        "Protection</font>\n\nFinds and removes unwanted programs, and shields the "
        "browser, the startup programs and the hosts file.");
    link_.Attach(Item(IDC_BX_ABOUT_LINK), kOnlineHelpAddress);
    return true;
}

CMinimizeNoticeDialog::CMinimizeNoticeDialog(HWND parent)
    : CDialog(resources::kMinimizeNoticeDialog, parent) {}

MinimizeNoticeAnswer CMinimizeNoticeDialog::Show() {
    dontShowAgain_ = false;
    INT_PTR answer = DoModal();
    return {answer == IDOK, dontShowAgain_};
}

bool CMinimizeNoticeDialog::OnInitDialog() {
    SetItemText(IDC_BX_NOTICE_TEXT, LoadResourceString(settings::strings::kIdsMinimizeNotice,
                                                       settings::strings::kMinimizeNotice));
    return true;
}

void CMinimizeNoticeDialog::OnOK() {
    dontShowAgain_ = IsChecked(IDC_BX_NOTICE_CHECK);
    EndDialog(IDOK);
}

void CMinimizeNoticeDialog::OnCancel() {
    dontShowAgain_ = IsChecked(IDC_BX_NOTICE_CHECK);
    EndDialog(IDCANCEL);
}

}  // namespace app
