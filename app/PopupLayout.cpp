#include "app/PopupLayout.h"

#include <algorithm>

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

Rect Scaled(const Rect& r, PopupScale scale) {
    return {r.left * scale.x, r.top * scale.y, r.right * scale.x, r.bottom * scale.y};
}

}  // namespace

PopupScale ComputePopupScale(int windowWidth, int windowHeight) {
    return {std::max(1, windowWidth / popup::kBitmapWidth),
            std::max(1, windowHeight / popup::kBitmapHeight)};
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
