#pragma once
// Takes over the messages of an existing window (a control of a dialog
// template) through the common controls' subclass chain. The object does not
// own the window; it detaches when either side goes away.
#include "platform/win32/Windows.h"

namespace ui {

class CWindowSubclass {
  public:
    CWindowSubclass() = default;
    virtual ~CWindowSubclass();
    CWindowSubclass(const CWindowSubclass&) = delete;
    CWindowSubclass& operator=(const CWindowSubclass&) = delete;

    bool Attach(HWND window);
    void Detach();
    HWND hwnd() const { return hwnd_; }

  protected:
    // Every message of the window; the default passes it on.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageW(hwnd_, message, wParam, lParam);
    }

  private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    HWND hwnd_ = nullptr;
};

}  // namespace ui
