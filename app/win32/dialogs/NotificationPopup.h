#pragma once
// The small bitmap window that slides up in the bottom-right corner
// (`CNotificationPopup`, modeless dialog 1 over bitmap 2): tells the user
// something (notify mode, closes by itself) or asks Yes or No, optionally
// with the "Don't display this dialog again for this Cookie" box.
#include <optional>
#include <string>

#include "app/PopupLayout.h"
#include "app/win32/dialogs/GdiObjects.h"
#include "ui/Dialog.h"

namespace app {

class CNotificationPopup : public ui::CDialog {
  public:
    CNotificationPopup();

    std::string message;  // shown in the text control
    std::string title;    // painted in bold above it
    bool notifyMode = false;
    bool showCheckBox = false;
    // After the popup closed: 1 after "Yes", 0 after "No"; the check box.
    int result = 0;
    int checkState = 0;

    // Creates the modeless popup, shows and paints it. False when the
    // window could not be made.
    bool Show();
    // True once the popup has slid out and closed.
    bool closed() const { return shown_ && hwnd() == nullptr; }
    // Processes messages until the popup has closed (the caller that needs
    // the answer waits here).
    void WaitUntilClosed();

    const PopupSlide* slide() const { return slide_ ? &*slide_ : nullptr; }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnTimer(UINT_PTR id) override;
    bool OnMessage(UINT windowMessage, WPARAM wParam, LPARAM lParam, LRESULT& answer) override;

  private:
    void Apply(const PopupActions& actions);
    // The bitmap as the client area shows it, drawn into `dc` whose origin
    // lies at (offsetX, offsetY) of the client area.
    void DrawBackground(HDC dc, int offsetX, int offsetY);
    void Paint(HDC dc);

    bool shown_ = false;
    std::optional<PopupSlide> slide_;
    PopupScale scale_;
    PopupSize size_;  // client size when fully shown
    Rect titleRect_;
    UniqueGdiObject bitmap_;
    UniqueGdiObject titleFont_;
};

}  // namespace app
