#pragma once
// `CActiveXShieldsDialog` (dialog 225, "ActiveX Shields") turns ActiveX
// protection on or off; its "Customize Activex Protection" button opens
// `CActiveXControlsDialog` (dialog 226, "ActiveX Controls"), where single
// programs of the block list are exempted.
#include <string>
#include <vector>

#include "activex/ActiveXProtection.h"
#include "ui/HtmlStatic.h"
#include "ui/ListView.h"
#include "ui/PromptingDialog.h"

namespace activex {

class CActiveXControlsDialog : public ui::CPromptingDialog {
  public:
    CActiveXControlsDialog(platform::System& system, HWND parent);

    // After opening: the rows as listed, and why the list is empty if it is.
    const ActiveXControls& controls() const { return controls_; }

  protected:
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    ActiveXControls controls_;
    ui::CListView view_;
};

class CActiveXShieldsDialog : public ui::CPromptingDialog {
  public:
    // `classIds`: the loaded Reference file's class identifiers.
    CActiveXShieldsDialog(platform::System& system, const std::vector<std::string>& classIds,
                          HWND parent);

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnOK() override;

  private:
    platform::System& system_;
    ActiveXShields shields_;
    ui::CXHtmlStatic count_;
};

}  // namespace activex
