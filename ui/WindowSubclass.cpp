#include "ui/WindowSubclass.h"

#include <commctrl.h>

namespace ui {
namespace {
constexpr UINT_PTR kSubclassId = 0x4258;  // "BX"
}

CWindowSubclass::~CWindowSubclass() {
    Detach();
}

bool CWindowSubclass::Attach(HWND window) {
    Detach();
    if (window == nullptr || !SetWindowSubclass(window, &CWindowSubclass::SubclassProc, kSubclassId,
                                                reinterpret_cast<DWORD_PTR>(this)))
        return false;
    hwnd_ = window;
    return true;
}

void CWindowSubclass::Detach() {
    if (hwnd_ == nullptr)
        return;
    RemoveWindowSubclass(hwnd_, &CWindowSubclass::SubclassProc, kSubclassId);
    hwnd_ = nullptr;
}

LRESULT CWindowSubclass::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT CWindowSubclass::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CWindowSubclass::SubclassProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CWindowSubclass*>(data);
    if (message == WM_NCDESTROY) {
        LRESULT result = DefSubclassProc(window, message, wParam, lParam);
        RemoveWindowSubclass(window, &CWindowSubclass::SubclassProc, kSubclassId);
        self->hwnd_ = nullptr;
        return result;
    }
    return self->WindowProc(message, wParam, lParam);
}

}  // namespace ui
