#pragma once
// `CConfigureShieldsDialog` (dialog 223, "Configure Shields"): a box per
// shield and the home page to maintain. OK writes them; the main window
// then reloads the shield settings.
#include "platform/System.h"
#include "ui/Dialog.h"

namespace shields::win32 {

class CConfigureShieldsDialog : public ui::CDialog {
  public:
    CConfigureShieldsDialog(platform::System& system, HWND parent);

  protected:
    bool OnInitDialog() override;
    void OnOK() override;

  private:
    platform::System& system_;
};

}  // namespace shields::win32
