#include "app/win32/ShieldPopup.h"

namespace app {

shields::PopupAnswer ShieldPopup::Ask(const shields::PopupRequest& request) {
    CNotificationPopup popup;
    popup.title = request.title;
    popup.message = request.message;
    popup.showCheckBox = request.showCheckBox;
    // A popup that cannot be shown cannot be answered Yes: the change is
    // refused, as with notifications hidden.
    if (!popup.Show())
        return {};
    popup.WaitUntilClosed();
    return {popup.result == 1, popup.checkState != 0};
}

void ShieldPopup::Notify(const shields::PopupRequest& request) {
    notice_ = std::make_unique<CNotificationPopup>();
    notice_->notifyMode = true;
    notice_->title = request.title;
    notice_->message = request.message;
    notice_->Show();
}

}  // namespace app
