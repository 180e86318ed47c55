#pragma once
// "Current List of items ignored" and, behind its "View Ignored Cookies"
// button, "Ignored Cookies": check-box lists over the ignore list and the
// cookie shield's per-cookie decisions.
#include <memory>

#include "app/dialogs/IgnoredCookies.h"
#include "app/win32/AppContext.h"
#include "refdb/IgnoreList.h"
#include "ui/ListView.h"
#include "ui/PromptingDialog.h"

namespace app {

class CIgnoredCookiesDialog : public ui::CPromptingDialog {
  public:
    // Lists the decisions kept in `context`'s registry.
    CIgnoredCookiesDialog(AppContext& context, HWND parent);
    // Lists the decisions of another store (the cookie shield's own).
    CIgnoredCookiesDialog(CookieDecisionStore& store, HWND parent);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;

  private:
    void ShowRows();
    void ReadChecks();
    void Tell(std::string_view message);

    std::unique_ptr<RegistryCookieDecisions> ownStore_;
    IgnoredCookiesList list_;
    ui::CListView view_;
};

class CIgnoreListDialog : public ui::CPromptingDialog {
  public:
    CIgnoreListDialog(AppContext& context, HWND parent);
    // "View Ignored Cookies" lists these decisions (the cookie shield's);
    // without them, those kept in the registry.
    void SetCookieDecisions(CookieDecisionStore& store) { cookieDecisions_ = &store; }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;

  private:
    AppContext& context_;
    CookieDecisionStore* cookieDecisions_ = nullptr;
    refdb::IgnoreListEditor editor_;
    ui::CListView view_;
};

}  // namespace app
