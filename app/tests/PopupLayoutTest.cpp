#include "app/PopupLayout.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using app::PopupSlide;
using app::Rect;

TEST(PopupLayoutTest, ControlsScaleWithTheDialogInQuarterSteps) {
    app::PopupScale one = app::ComputePopupScale(234, 223);
    EXPECT_EQ(app::ScaledPopupRects(one).yes, (Rect{25, 177, 100, 200}));
    EXPECT_EQ(app::ScaledPopupRects(one).title, (Rect{39, 33, 217, 57}));
    // A template a pixel or two off the bitmap (font rounding), or one made
    // wider by a font of wide letters, is still 1; a window smaller than the
    // bitmap keeps 1.
    app::PopupScale nearOne = app::ComputePopupScale(236, 221);
    EXPECT_EQ(nearOne.x, 1.0);
    EXPECT_EQ(nearOne.y, 1.0);
    EXPECT_EQ(app::ComputePopupScale(293, 223).x, 1.0);
    EXPECT_EQ(app::ComputePopupScale(100, 50).x, 1.0);

    // 144 DPI: the template is about 1.5 times the bitmap (more across with
    // wide letters), and so is everything in it.
    app::PopupScale half = app::ComputePopupScale(410, 325);
    EXPECT_EQ(half.x, 1.5);
    EXPECT_EQ(half.y, 1.5);
    EXPECT_EQ(app::ScaledPopupRects(half).no, (Rect{224, 266, 336, 300}));
    EXPECT_EQ(app::ScaledTitleFontHeight(half), -18);

    app::PopupRects doubled = app::ScaledPopupRects(app::ComputePopupScale(468, 446));
    EXPECT_EQ(doubled.checkBox, (Rect{10, 406, 460, 426}));
    EXPECT_EQ(doubled.message, (Rect{28, 130, 442, 326}));

    EXPECT_EQ(app::PopupFinalRect({0, 0, 1024, 738}, 234, 223), (Rect{790, 515, 1024, 738}));
}

TEST(PopupLayoutTest, AWrappedCheckBoxMakesThePopupTaller) {
    const app::PopupScale one;
    const Rect place = app::ScaledPopupRects(one).checkBox;  // (5, 203)-(230, 213)
    // One line that fits its place: nothing moves.
    EXPECT_EQ(app::GrownCheckBox(place, 8), place);
    const app::PopupSize bitmap = app::PopupClientSize(one, place);
    EXPECT_EQ(bitmap.width, 234);
    EXPECT_EQ(bitmap.height, 223);

    // Two lines of 13 pixels: the box keeps its top and the popup grows by
    // what the box grew, keeping the margin under it.
    const Rect twoLines = app::GrownCheckBox(place, 28);
    EXPECT_EQ(twoLines, (Rect{5, 203, 230, 231}));
    EXPECT_EQ(app::PopupClientSize(one, twoLines).height, 223 + 18);

    const app::PopupScale half{1.5, 1.5};
    const Rect placeAtHalf = app::ScaledPopupRects(half).checkBox;
    EXPECT_EQ(placeAtHalf, (Rect{8, 305, 345, 320}));
    EXPECT_EQ(app::PopupClientSize(half, placeAtHalf).height, 335);
    EXPECT_EQ(app::PopupClientSize(half, app::GrownCheckBox(placeAtHalf, 42)).height, 335 + 27);
}

// Runs the popup's timers the way the window would, on a simulated clock.
class PopupRun {
  public:
    explicit PopupRun(PopupSlide& slide) : slide_(slide) { Apply(slide_.Start()); }

    // Advances the clock to `untilMs`, firing due timers in time order.
    void RunUntil(unsigned long untilMs) {
        while (!closed) {
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it) {
                if (next == timers_.end() || it->second.due < next->second.due)
                    next = it;
            }
            if (next == timers_.end() || next->second.due > untilMs)
                break;
            now = next->second.due;
            next->second.due += next->second.interval;
            Apply(slide_.OnTimer(next->first));
        }
        if (!closed)
            now = untilMs;
    }
    void Answer(bool yes) { Apply(slide_.OnAnswer(yes)); }

    unsigned long now = 0;
    bool closed = false;
    int minTop = 1 << 30;
    std::vector<int> heights;

  private:
    struct Timer {
        unsigned long due;
        unsigned interval;
    };
    void Apply(const app::PopupActions& actions) {
        if (actions.moveTo) {
            heights.push_back(actions.moveTo->height());
            minTop = std::min(minTop, actions.moveTo->top);
        }
        if (actions.killTimer)
            timers_.erase(*actions.killTimer);
        if (actions.startTimer)
            timers_[actions.startTimer->id] = {now + actions.startTimer->delayMs,
                                               actions.startTimer->delayMs};
        if (actions.close)
            closed = true;
    }

    PopupSlide& slide_;
    std::map<unsigned, Timer> timers_;
};

constexpr Rect kFinal{790, 515, 1024, 738};

TEST(PopupSlideTest, NotifyModeSlidesUpWaitsAndSlidesDownByItself) {
    PopupSlide slide(kFinal, true);
    PopupRun run(slide);
    EXPECT_EQ(run.heights.front(), 0);
    run.RunUntil(1000);
    EXPECT_EQ(slide.state(), PopupSlide::State::kLingering);
    EXPECT_EQ(slide.current(), kFinal);
    EXPECT_EQ(run.minTop, kFinal.top);
    // Steps of 5 pixels; only the last one, onto the final place, is shorter.
    for (std::size_t i = 1; i < run.heights.size(); ++i) {
        int step = run.heights[i] - run.heights[i - 1];
        EXPECT_EQ(step, i + 1 < run.heights.size() ? 5 : 3) << i;
    }

    run.RunUntil(5400);
    EXPECT_EQ(slide.state(), PopupSlide::State::kLingering);  // still within 5 s
    run.RunUntil(60000);
    EXPECT_TRUE(run.closed);
    EXPECT_EQ(slide.state(), PopupSlide::State::kClosed);
    EXPECT_LE(slide.current().height(), 5);
    EXPECT_GT(slide.current().height(), 0);
    // 44 steps in, 5 s shown, 44 steps out, 10 ms apart.
    EXPECT_GT(run.now, 5000u + 2 * 440u);
    EXPECT_LT(run.now, 5000u + 2 * 460u + 20u);

    // Notify mode has no buttons to answer.
    EXPECT_FALSE(slide.OnAnswer(true).startTimer.has_value());
}

TEST(PopupSlideTest, AskModeWaitsForAnAnswer) {
    PopupSlide slide(kFinal, false);
    PopupRun run(slide);
    run.RunUntil(120000);
    EXPECT_FALSE(run.closed);
    EXPECT_EQ(slide.state(), PopupSlide::State::kShown);

    run.Answer(true);
    run.Answer(false);  // only the first answer counts
    run.RunUntil(120000 + 1000);
    EXPECT_TRUE(run.closed);
    EXPECT_TRUE(slide.answeredYes());
}

TEST(PopupSlideTest, AnAnswerWhileSlidingInTurnsTheSlideAround) {
    PopupSlide slide(kFinal, false);
    PopupRun run(slide);
    run.RunUntil(100);  // ten steps up
    run.Answer(false);
    run.RunUntil(1000);
    EXPECT_TRUE(run.closed);
    EXPECT_FALSE(slide.answeredYes());
    EXPECT_EQ(run.minTop, kFinal.bottom - 50);
    // A timer message already queued when its slide ended is only killed.
    app::PopupActions stray = slide.OnTimer(app::timers::kPopupSlideIn);
    EXPECT_FALSE(stray.moveTo.has_value());
    EXPECT_EQ(stray.killTimer, app::timers::kPopupSlideIn);
}

}  // namespace
