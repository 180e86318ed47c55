#pragma once
// A screen rectangle in pixels, laid out like the Win32 RECT (right and
// bottom exclusive), for the geometry the portable code computes.
namespace app {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace app
