#include "app/PopupLayout.h"

#include <algorithm>
#include <cmath>

namespace app {

namespace {

// The layout in the bitmap's own pixels.
constexpr PopupRects kBitmapLayout = {
    {25, 177, 100, 200},   // Yes
    {149, 177, 224, 200},  // No
    {5, 203, 230, 213},    // check box
    {14, 65, 221, 163},    // message
    {39, 33, 217, 57},     // title
};

int Scaled(int pixels, double scale) {
    return static_cast<int>(std::lround(pixels * scale));
}

Rect Scaled(const Rect& r, PopupScale scale) {
    return {Scaled(r.left, scale.x), Scaled(r.top, scale.y), Scaled(r.right, scale.x),
            Scaled(r.bottom, scale.y)};
}

double QuarterSteps(int size, int bitmapSize) {
    const double quotient = static_cast<double>(size) / bitmapSize;
    return std::max(1.0, std::round(quotient * 4.0) / 4.0);
}

}  // namespace

PopupScale ComputePopupScale(int clientWidth, int clientHeight) {
    const double both = std::min(QuarterSteps(clientWidth, popup::kBitmapWidth),
                                 QuarterSteps(clientHeight, popup::kBitmapHeight));
    return {both, both};
}

Rect GrownCheckBox(const Rect& place, int textHeight) {
    Rect grown = place;
    grown.bottom = std::max(place.bottom, place.top + textHeight);
    return grown;
}

PopupSize PopupClientSize(PopupScale scale, const Rect& checkBox) {
    const int bitmapHeight = Scaled(popup::kBitmapHeight, scale.y);
    const int placeBottom = Scaled(kBitmapLayout.checkBox.bottom, scale.y);
    return {Scaled(popup::kBitmapWidth, scale.x),
            bitmapHeight + std::max(0, checkBox.bottom - placeBottom)};
}

int ScaledTitleFontHeight(PopupScale scale) {
    return Scaled(popup::kTitleFontHeight, scale.y);
}

PopupRects ScaledPopupRects(PopupScale scale) {
    return {Scaled(kBitmapLayout.yes, scale), Scaled(kBitmapLayout.no, scale),
            Scaled(kBitmapLayout.checkBox, scale), Scaled(kBitmapLayout.message, scale),
            Scaled(kBitmapLayout.title, scale)};
}

Rect PopupFinalRect(const Rect& workArea, int width, int height) {
    return {workArea.right - width, workArea.bottom - height, workArea.right, workArea.bottom};
}

PopupSlide::PopupSlide(const Rect& finalRect, bool notifyMode)
    : final_(finalRect), current_(finalRect), notifyMode_(notifyMode) {
    current_.top = final_.bottom;
}

PopupActions PopupSlide::Start() {
    PopupActions actions;
    if (state_ != State::kNotStarted)
        return actions;
    state_ = State::kSlidingIn;
    actions.moveTo = current_;
    actions.startTimer = TimerRequest{timers::kPopupSlideIn, popup::kSlideIntervalMs};
    return actions;
}

PopupActions PopupSlide::OnTimer(unsigned timerId) {
    PopupActions actions;
    if (timerId == timers::kPopupSlideIn && state_ == State::kSlidingIn) {
        if (final_.height() - current_.height() > popup::kSlideStepPx) {
            current_.top -= popup::kSlideStepPx;
            actions.moveTo = current_;
            return actions;
        }
        // The last step lands exactly on the final place.
        current_ = final_;
        actions.moveTo = current_;
        actions.killTimer = timers::kPopupSlideIn;
        if (notifyMode_) {
            state_ = State::kLingering;
            actions.startTimer = TimerRequest{timers::kPopupLinger, popup::kLingerMs};
        } else {
            state_ = State::kShown;
        }
        return actions;
    }
    if (timerId == timers::kPopupLinger && state_ == State::kLingering) {
        state_ = State::kSlidingOut;
        actions.killTimer = timers::kPopupLinger;
        actions.startTimer = TimerRequest{timers::kPopupSlideOut, popup::kSlideIntervalMs};
        return actions;
    }
    if (timerId == timers::kPopupSlideOut && state_ == State::kSlidingOut) {
        if (current_.height() > popup::kSlideStepPx) {
            current_.top += popup::kSlideStepPx;
            actions.moveTo = current_;
            return actions;
        }
        state_ = State::kClosed;
        actions.killTimer = timers::kPopupSlideOut;
        actions.close = true;
        return actions;
    }
    actions.killTimer = timerId;
    return actions;
}

PopupActions PopupSlide::OnAnswer(bool yes) {
    PopupActions actions;
    if (notifyMode_ || answered_ || (state_ != State::kSlidingIn && state_ != State::kShown)) {
        return actions;
    }
    answered_ = true;
    answeredYes_ = yes;
    if (state_ == State::kSlidingIn)
        actions.killTimer = timers::kPopupSlideIn;
    state_ = State::kLingering;
    actions.startTimer = TimerRequest{timers::kPopupLinger, popup::kAnswerDelayMs};
    return actions;
}

}  // namespace app
