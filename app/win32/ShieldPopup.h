#pragma once
// The shields' alerts in `CNotificationPopup`: asking popups are waited
// for; a notify-only popup lives on by itself until it has slid out.
#include <memory>

#include "app/win32/dialogs/NotificationPopup.h"
#include "shields/Alerts.h"

namespace app {

class ShieldPopup : public shields::AlertPopup {
  public:
    shields::PopupAnswer Ask(const shields::PopupRequest& request) override;
    void Notify(const shields::PopupRequest& request) override;

  private:
    std::unique_ptr<CNotificationPopup> notice_;
};

}  // namespace app
