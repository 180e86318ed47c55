// The notification popup: its slide in, stay and slide out, driven by
// sending the timer messages it would get, and its check box's text measured
// against the control (also run at 144 DPI).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/win32/dialogs/DialogIds.h"
#include "app/win32/dialogs/NotificationPopup.h"
#include "app/win32/dialogs/tests/DialogTestSupport.h"
#include "settings/Messages.h"

namespace {

using namespace dialogtest;

RECT WorkArea() {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

// The screen's DPI; with BX_DPI set (the run in a prefix of another DPI)
// it must be that one, or the run would test nothing new.
int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (const char* wanted = std::getenv("BX_DPI")) {
        EXPECT_EQ(dpi, std::atoi(wanted));
    }
    return dpi;
}

std::string PictureName(const char* name) {
    return std::string(name) + "-" + std::to_string(ScreenDpi()) + "dpi";
}

// Measures the check box's text against the control as the button draws it:
// the box and a gap on the left, the rest wrapped word by word with the
// control's font. Every line must fit across and all lines down, and the
// control must lie inside the popup, below the buttons.
void ExpectCheckBoxTextFits(HWND popup) {
    HWND box = GetDlgItem(popup, IDC_BX_POPUP_CHECK);
    ASSERT_NE(box, nullptr);
    EXPECT_NE(GetWindowLongPtrW(box, GWL_STYLE) & BS_MULTILINE, 0) << "the text cannot wrap";
    RECT client{};
    GetClientRect(box, &client);
    wchar_t text[256] = {};
    GetWindowTextW(box, text, 256);
    HDC dc = GetDC(box);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(box, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SIZE digit{};
    GetTextExtentPoint32W(dc, L"0", 1, &digit);
    const int across =
        client.right - MulDiv(13, GetDeviceCaps(dc, LOGPIXELSX), 96) - static_cast<int>(digit.cx);
    auto width = [&](const std::wstring& piece) {
        SIZE size{};
        GetTextExtentPoint32W(dc, piece.c_str(), static_cast<int>(piece.size()), &size);
        return static_cast<int>(size.cx);
    };
    std::vector<std::wstring> lines;
    std::wstring line;
    std::wistringstream words(text);
    for (std::wstring word; words >> word;) {
        EXPECT_LE(width(word), across) << "a word wider than the control";
        std::wstring longer = line.empty() ? word : line + L" " + word;
        if (!line.empty() && width(longer) > across) {
            lines.push_back(line);
            longer = word;
        }
        line = longer;
    }
    lines.push_back(line);
    SelectObject(dc, old);
    ReleaseDC(box, dc);
    EXPECT_LE(static_cast<int>(lines.size()) * metrics.tmHeight, client.bottom)
        << lines.size() << " lines of " << metrics.tmHeight << " px in " << client.bottom << " px";

    RECT boxRect{};
    RECT popupRect{};
    RECT yesRect{};
    GetWindowRect(box, &boxRect);
    GetWindowRect(popup, &popupRect);
    GetWindowRect(GetDlgItem(popup, IDC_BX_POPUP_YES), &yesRect);
    EXPECT_GE(boxRect.left, popupRect.left);
    EXPECT_LE(boxRect.right, popupRect.right);
    EXPECT_LE(boxRect.bottom, popupRect.bottom);
    EXPECT_GE(boxRect.top, yesRect.bottom);
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
    Screenshot(window, PictureName("notification-popup"));

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
    ExpectCheckBoxTextFits(window);
    Screenshot(window, PictureName("notification-popup-ask"));
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
