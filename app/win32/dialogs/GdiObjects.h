#pragma once
// Owners of GDI objects and device contexts, so a painting path that returns
// early cannot leak them.
#include "platform/win32/UniqueHandle.h"

namespace app {

struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::DeleteObject(handle); }
};
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Empty() noexcept { return nullptr; }
    static void Close(Handle handle) noexcept { ::DeleteDC(handle); }
};

using UniqueGdiObject = platform::win32::UniqueHandle<GdiObjectTraits>;
using UniqueMemoryDc = platform::win32::UniqueHandle<MemoryDcTraits>;

// Selects an object into a device context for one scope.
class SelectedObject {
  public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject() { SelectObject(dc_, old_); }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// A bitmap resource of the program; empty when it is missing.
inline UniqueGdiObject LoadBitmapResource(int id) {
    return UniqueGdiObject(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_BITMAP,
                                      0, 0, LR_CREATEDIBSECTION));
}

// Draws `bitmap` unscaled with its top-left corner at (x, y).
inline void DrawBitmap(HDC dc, HGDIOBJ bitmap, int x, int y) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof(info), &info) == 0)
        return;
    UniqueMemoryDc memory(CreateCompatibleDC(dc));
    SelectedObject selected(memory.Get(), bitmap);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
}

}  // namespace app
