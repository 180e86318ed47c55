#pragma once
// The main window's small dialogs: Scan Settings (133), the About box (100)
// and the notice shown when the window goes to the tray (228).
#include "app/MainWindowModel.h"
#include "app/win32/AppContext.h"
#include "ui/Dialog.h"
#include "ui/HtmlStatic.h"

namespace app {

// The maker's online help, opened by Help > "&Help" and the About box.
inline constexpr const char* kOnlineHelpAddress = "https://help.brindlex.invalid/v5/";

class CScanSettingsDialog : public ui::CDialog {
  public:
    CScanSettingsDialog(AppContext& context, HWND parent);

  protected:
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    AppContext& context_;
};

class CAboutDialog : public ui::CDialog {
  public:
    explicit CAboutDialog(HWND parent);

  protected:
    bool OnInitDialog() override;

  private:
    ui::CXHtmlStatic text_;
    ui::CHyperLink link_;
};

// `CMinimizeNoticeDialog`: OK or Cancel, and the "do not display" box.
class CMinimizeNoticeDialog : public ui::CDialog, public MinimizeNotice {
  public:
    explicit CMinimizeNoticeDialog(HWND parent);

    MinimizeNoticeAnswer Show() override;

  protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

  private:
    bool dontShowAgain_ = false;
};

// A string of the program's string table, or `fallback` when missing.
std::string LoadResourceString(int id, std::string_view fallback);

}  // namespace app
