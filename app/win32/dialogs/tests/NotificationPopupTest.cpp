// The notification popup: its slide in, stay and slide out, driven by
// sending the timer messages it would get.
#include <gtest/gtest.h>

#include "app/Messages.h"
#include "app/win32/dialogs/DialogIds.h"
#include "app/win32/dialogs/NotificationPopup.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"

namespace {

using namespace dialogtest;

RECT WorkArea() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

// Sends timer `id` until the popup's slide reaches `state` (at most `limit`
// times); returns how many were needed.
int DriveTimer(app::CNotificationPopup& popup, unsigned id, app::PopupSlide::State state,
               int limit = 200) {
    int sent = 0;
    while (popup.hwnd() != nullptr && popup.slide()->state() != state && sent < limit) {
        SendMessageW(popup.hwnd(), WM_TIMER, id, 0);
        ++sent;
    }
    return sent;
}

TEST(NotificationPopupTest, NotifyModeSlidesUpStaysAndClosesByItself) {
    app::CNotificationPopup popup;
    popup.title = "Hosts File Shield";
    popup.message = "A new line was added to the hosts file: 127.0.0.1 ads.example";
    popup.notifyMode = true;
    ASSERT_TRUE(popup.Show());
    HWND window = popup.hwnd();
    RECT work = WorkArea();

    RECT start{};
    GetWindowRect(window, &start);
    EXPECT_EQ(start.bottom, work.bottom);
    EXPECT_EQ(start.bottom - start.top, 0);  // starts with no height
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_BX_POPUP_YES)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_BX_POPUP_NO)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, IDC_BX_POPUP_CHECK)));
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_NE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);

    int steps = DriveTimer(popup, app::timers::kPopupSlideIn, app::PopupSlide::State::kLingering);
    EXPECT_GT(steps, 20);  // 5 pixels at a time
    RECT shown{};
    GetWindowRect(window, &shown);
    EXPECT_EQ(shown.right, work.right);
    EXPECT_EQ(shown.bottom, work.bottom);
    EXPECT_GE(shown.bottom - shown.top, 223);
    EXPECT_GE(shown.right - shown.left, 234);
    Screenshot(window, "notification-popup");

    // The five seconds are up.
    SendMessageW(window, WM_TIMER, app::timers::kPopupLinger, 0);
    DriveTimer(popup, app::timers::kPopupSlideOut, app::PopupSlide::State::kClosed);
    EXPECT_TRUE(popup.closed());
}

TEST(NotificationPopupTest, AskModeWaitsForYesAndReadsTheCheckBox) {
    app::CNotificationPopup popup;
    popup.title = "Cookie Shield";
    popup.message = "A cookie of ads.example was placed. Keep it?";
    popup.showCheckBox = true;
    ASSERT_TRUE(popup.Show());
    HWND window = popup.hwnd();
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDC_BX_POPUP_YES)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(window, IDC_BX_POPUP_CHECK)));
    DriveTimer(popup, app::timers::kPopupSlideIn, app::PopupSlide::State::kShown);
    ASSERT_EQ(popup.slide()->state(), app::PopupSlide::State::kShown);
    Screenshot(window, "notification-popup-ask");
    // Nothing closes it until it is answered.
    SendMessageW(window, WM_TIMER, app::timers::kPopupLinger, 0);
    EXPECT_FALSE(popup.closed());

    Click(window, IDC_BX_POPUP_CHECK);
    Click(window, IDC_BX_POPUP_YES);
    SendMessageW(window, WM_TIMER, app::timers::kPopupLinger, 0);
    DriveTimer(popup, app::timers::kPopupSlideOut, app::PopupSlide::State::kClosed);
    ASSERT_TRUE(popup.closed());
    EXPECT_EQ(popup.result, 1);
    EXPECT_EQ(popup.checkState, 1);
}

TEST(NotificationPopupTest, NoAnswersZeroAndTheRealTimersFinishTheSlide) {
    app::CNotificationPopup popup;
    popup.message = "Allow the change?";
    ASSERT_TRUE(popup.Show());
    DriveTimer(popup, app::timers::kPopupSlideIn, app::PopupSlide::State::kShown);
    Click(popup.hwnd(), IDC_BX_POPUP_NO);
    // The window's own 10 ms timers slide it out.
    EXPECT_TRUE(PumpUntil([&] { return popup.closed(); }, 10000));
    EXPECT_EQ(popup.result, 0);
    EXPECT_EQ(popup.checkState, 0);
}

}  // namespace
