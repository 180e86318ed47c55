#pragma once
// "Current List of items ignored" and, behind its "View Ignored Cookies"
// button, "Ignored Cookies": check-box lists over the ignore list and the
// cookie shield's per-cookie decisions.
#include <memory>

#include "app/dialogs/IgnoredCookies.h"
#include "app/win32/AppContext.h"
#include "app/win32/dialogs/ListView.h"
#include "refdb/IgnoreList.h"
#include "ui/Dialog.h"
#include "ui/MessageBoxPrompts.h"

namespace app {

class CIgnoredCookiesDialog : public ui::CDialog {
  public:
    // Lists the decisions kept in `context`'s registry.
    CIgnoredCookiesDialog(AppContext& context, HWND parent);
    // Lists the decisions of another store (the cookie shield's own).
    CIgnoredCookiesDialog(CookieDecisionStore& store, HWND parent);

    // Answers for the message boxes, instead of showing them.
    void SetPrompts(removal::Prompts& prompts) { prompts_ = &prompts; }

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
    CListView view_;
    ui::MessageBoxPrompts boxes_;
    removal::Prompts* prompts_ = &boxes_;
};

class CIgnoreListDialog : public ui::CDialog {
  public:
    CIgnoreListDialog(AppContext& context, HWND parent);

    void SetPrompts(removal::Prompts& prompts) { prompts_ = &prompts; }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;

  private:
    AppContext& context_;
    refdb::IgnoreListEditor editor_;
    CListView view_;
    ui::MessageBoxPrompts boxes_;
    removal::Prompts* prompts_ = &boxes_;
};

}  // namespace app
