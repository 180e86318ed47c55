#pragma once
// A static text control that paints its window text as the markup of
// HtmlText.h, word-wrapped, over a transparent or its own background.
#include <string>
#include <string_view>

#include "platform/win32/Windows.h"

#include "ui/WindowSubclass.h"

namespace ui {

class CXHtmlStatic : public CWindowSubclass {
  public:
    CXHtmlStatic() = default;
    ~CXHtmlStatic() override;

    bool Attach(HWND label);
    void SetText(std::string_view markup);
    // Colour of text without a <font color>.
    void SetTextColor(COLORREF color) { textColor_ = color; }
    // Without a background colour the parent's background shows through.
    void SetBackground(COLORREF color) {
        background_ = color;
        hasBackground_ = true;
    }

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void Paint(HDC dc);
    HFONT BoldFont(HFONT normal);

    COLORREF textColor_ = RGB(0, 0, 0);
    COLORREF background_ = RGB(255, 255, 255);
    bool hasBackground_ = false;
    HFONT bold_ = nullptr;
    HFONT boldFrom_ = nullptr;
};

// A static text that looks and acts like a link: underlined, hand cursor,
// and a click opens its address in the default browser.
class CHyperLink : public CWindowSubclass {
  public:
    CHyperLink() = default;
    ~CHyperLink() override;

    bool Attach(HWND label, std::string_view address);
    const std::string& address() const { return address_; }
    // Opens the address; false when the shell refused.
    bool Open() const;

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    std::string address_;
    HFONT underlined_ = nullptr;
};

}  // namespace ui
