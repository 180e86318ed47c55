#pragma once
// The notification popup (`CNotificationPopup`, modeless dialog 1 over
// bitmap 2) without its window: where its controls go, where it ends up,
// and the slide in, linger and slide out that its timers drive.
#include <optional>

#include "app/Geometry.h"
#include "settings/Messages.h"

namespace app {

namespace popup {
inline constexpr int kBitmapWidth = 234;
inline constexpr int kBitmapHeight = 223;
// The bitmap's dark band under the message, from this row down; it is
// stretched when the popup grows taller than the bitmap.
inline constexpr int kBandTop = 170;

inline constexpr int kCheckBox = 1000;
inline constexpr int kMessageText = 1006;
inline constexpr int kYesButton = 1084;
inline constexpr int kNoButton = 1085;
inline constexpr const char* kCheckBoxText = "Don't display this dialog again for this Cookie";

// The title: bold, black, one line, aligned to the bottom of its rectangle.
inline constexpr const char* kTitleFontName = "MS Sans Serif";
inline constexpr int kTitleFontHeight = -12;
inline constexpr int kTitleFontWeight = 700;

inline constexpr int kSlideStepPx = 5;
inline constexpr unsigned kSlideIntervalMs = 10;
// Notify mode: how long the popup stays before it slides out by itself.
inline constexpr unsigned kLingerMs = 5000;
// After Yes or No: the slide out starts at once.
inline constexpr unsigned kAnswerDelayMs = 10;
}  // namespace popup

// How much larger than the bitmap the popup is laid out: the quotient of the
// dialog's initial client size (its template follows the dialog font, so the
// DPI) and the bitmap's size, in steps of a quarter as display scaling goes
// (1, 1.25, 1.5 ...), at least 1 (a smaller window keeps the bitmap's
// layout). The smaller of the two directions counts for both, so that the
// bitmap keeps its shape: a template's width follows the font's average
// character width, which differs between fonts of one size. A whole-number
// quotient would keep the popup at the bitmap's size at 144 DPI, with text
// half again as large.
struct PopupScale {
    double x = 1.0;
    double y = 1.0;
};
PopupScale ComputePopupScale(int clientWidth, int clientHeight);

// The controls' rectangles in client coordinates, scaled.
struct PopupRects {
    Rect yes;
    Rect no;
    Rect checkBox;
    Rect message;
    Rect title;
};
PopupRects ScaledPopupRects(PopupScale scale);

// The check box keeps the top and sides of its place and, when its text
// wraps to more lines than the place holds, grows down to `textHeight`.
Rect GrownCheckBox(const Rect& place, int textHeight);

// The popup's client size: the bitmap's at `scale`, taller when `checkBox`
// reaches lower than its place does, keeping the bitmap's margin under it.
struct PopupSize {
    int width = 0;
    int height = 0;
};
PopupSize PopupClientSize(PopupScale scale, const Rect& checkBox);
// The title font's height at `scale` (kTitleFontHeight at 1).
int ScaledTitleFontHeight(PopupScale scale);

// The popup's place when fully shown: the bottom-right corner of the work
// area.
Rect PopupFinalRect(const Rect& workArea, int width, int height);

// What the window does after an event: move to `moveTo` (SetWindowPos),
// kill `killTimer`, start `startTimer`, and with `close` read the check box
// and end the dialog.
struct PopupActions {
    std::optional<Rect> moveTo;
    std::optional<unsigned> killTimer;
    std::optional<TimerRequest> startTimer;
    bool close = false;
};

// The popup's life: sliding in (timer 1, 5 pixels per 10 ms), shown, then
// lingering (timer 12: 5000 ms in notify mode, or 10 ms once Yes or No was
// pressed), sliding out (timer 13, 5 pixels per 10 ms) and closed. In ask
// mode the popup stays shown until Yes or No. The popup grows upwards from
// the bottom edge of the work area and shrinks back into it.
class PopupSlide {
  public:
    enum class State { kNotStarted, kSlidingIn, kShown, kLingering, kSlidingOut, kClosed };

    PopupSlide(const Rect& finalRect, bool notifyMode);

    // At initialisation: the first place (no height, at the bottom edge)
    // and timer 1.
    PopupActions Start();
    // WM_TIMER. Timers that fire in a state that no longer needs them are
    // killed.
    PopupActions OnTimer(unsigned timerId);
    // "Yes" or "No" (ask mode only; the first answer counts). Pressed while
    // still sliding in, the slide in stops where it is.
    PopupActions OnAnswer(bool yes);

    State state() const { return state_; }
    const Rect& current() const { return current_; }
    // The result field: true after "Yes".
    bool answeredYes() const { return answeredYes_; }

  private:
    Rect final_;
    Rect current_;
    bool notifyMode_;
    bool answered_ = false;
    bool answeredYes_ = false;
    State state_ = State::kNotStarted;
};

}  // namespace app
