#pragma once
// The progress window of Remove Items: appears, then runs the removal pass
// on its first timer tick and closes itself.
#include <functional>

#include "app/win32/AppContext.h"
#include "app/win32/dialogs/GdiObjects.h"
#include "removal/RemovalPass.h"
#include "ui/Dialog.h"

namespace app {

class CRemovalDialog : public ui::CDialog {
  public:
    using Pass = std::function<bool(removal::RemovalProgress&)>;
    // `pass` returns true when a file was left for deletion at restart. The
    // pass brings everything it works on; the context is not needed here.
    CRemovalDialog(AppContext& context, HWND parent, int totalCount, Pass pass);

    // IDOK, or IDCANCEL when a restart is needed (also via restartNeeded()).
    using ui::CDialog::DoModal;
    bool restartNeeded() const { return restartNeeded_; }

    // The timer that starts the pass once the window is on screen.
    static constexpr UINT_PTR kPassTimer = 1666;

  protected:
    bool OnInitDialog() override;
    void OnTimer(UINT_PTR id) override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    int totalCount_;
    Pass pass_;
    bool restartNeeded_ = false;
    bool running_ = false;
    UniqueGdiObject background_;
};

}  // namespace app
