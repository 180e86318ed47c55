#include "ui/HtmlStatic.h"

#include <shellapi.h>

#include <vector>

#include "platform/win32/WideText.h"
#include "ui/HtmlText.h"

namespace ui {

using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

HFONT FontVariant(HFONT base, bool bold, bool underline) {
    LOGFONTW font{};
    if (base == nullptr || GetObjectW(base, sizeof(font), &font) == 0)
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    if (bold)
        font.lfWeight = FW_BOLD;
    if (underline)
        font.lfUnderline = TRUE;
    return CreateFontIndirectW(&font);
}

std::string WindowTextOf(HWND window) {
    int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return Narrow(text);
}

}  // namespace

CXHtmlStatic::~CXHtmlStatic() {
    if (bold_ != nullptr)
        DeleteObject(bold_);
}

bool CXHtmlStatic::Attach(HWND label) {
    if (!CWindowSubclass::Attach(label))
        return false;
    InvalidateRect(label, nullptr, TRUE);
    return true;
}

void CXHtmlStatic::SetText(std::string_view markup) {
    SetWindowTextW(hwnd(), Widen(markup).c_str());
    InvalidateRect(hwnd(), nullptr, TRUE);
}

HFONT CXHtmlStatic::BoldFont(HFONT normal) {
    if (bold_ == nullptr || boldFrom_ != normal) {
        if (bold_ != nullptr)
            DeleteObject(bold_);
        bold_ = FontVariant(normal, true, false);
        boldFrom_ = normal;
    }
    return bold_;
}

void CXHtmlStatic::Paint(HDC dc) {
    RECT client{};
    GetClientRect(hwnd(), &client);
    HWND parent = GetParent(hwnd());
    if (hasBackground_) {
        HBRUSH brush = CreateSolidBrush(background_);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
    } else {
        // The parent decides the background, as for any static control.
        auto brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(hwnd())));
        if (brush != nullptr && brush != GetStockObject(NULL_BRUSH))
            FillRect(dc, &client, brush);
    }
    SetBkMode(dc, TRANSPARENT);
    auto normal = reinterpret_cast<HFONT>(Send(WM_GETFONT));
    HFONT bold = BoldFont(normal);
    HGDIOBJ oldFont =
        SelectObject(dc, normal != nullptr ? normal : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = metrics.tmHeight;
    int x = client.left;
    int y = client.top;
    for (const TextRun& run : ParseHtmlText(WindowTextOf(hwnd()))) {
        SelectObject(dc, run.bold ? bold : normal);
        ::SetTextColor(dc, run.color ? static_cast<COLORREF>(*run.color) : textColor_);
        std::wstring text = Widen(run.text);
        // Words are gathered into one piece per line and drawn together, so
        // the spaces between them come out as the font spaces them.
        std::wstring piece;
        auto extent = [dc](std::wstring_view part) {
            SIZE size{};
            GetTextExtentPoint32W(dc, part.data(), static_cast<int>(part.size()), &size);
            return static_cast<int>(size.cx);
        };
        auto flush = [&] {
            if (piece.empty())
                return;
            TextOutW(dc, x, y, piece.data(), static_cast<int>(piece.size()));
            x += extent(piece);
            piece.clear();
        };
        std::size_t at = 0;
        while (at < text.size()) {
            // One word with the spaces after it, placed on this line or the next.
            std::size_t end = text.find(L' ', at);
            end = end == std::wstring::npos ? text.size() : end + 1;
            std::wstring_view word(text.data() + at, end - at);
            std::wstring_view trimmed = word.substr(0, word.find_last_not_of(L' ') + 1);
            if ((x > client.left || !piece.empty()) &&
                x + extent(piece) + extent(trimmed) > client.right) {
                flush();
                x = client.left;
                y += lineHeight;
            }
            piece.append(word);
            at = end;
        }
        flush();
        if (run.lineBreak) {
            x = client.left;
            y += lineHeight;
        }
    }
    SelectObject(dc, oldFont);
}

LRESULT CXHtmlStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(hwnd(), &paint);
            Paint(dc);
            EndPaint(hwnd(), &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_SETTEXT: {
            LRESULT result = Default(message, wParam, lParam);
            InvalidateRect(hwnd(), nullptr, TRUE);
            return result;
        }
        default:
            return Default(message, wParam, lParam);
    }
}

CHyperLink::~CHyperLink() {
    if (underlined_ != nullptr)
        DeleteObject(underlined_);
}

bool CHyperLink::Attach(HWND label, std::string_view address) {
    if (!CWindowSubclass::Attach(label))
        return false;
    address_ = std::string(address);
    // Statics send no clicks without SS_NOTIFY.
    SetWindowLongPtrW(label, GWL_STYLE, GetWindowLongPtrW(label, GWL_STYLE) | SS_NOTIFY);
    underlined_ = FontVariant(reinterpret_cast<HFONT>(Send(WM_GETFONT)), false, true);
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(underlined_), TRUE);
    return true;
}

bool CHyperLink::Open() const {
    auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
        GetParent(hwnd()), L"open", Widen(address_).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

LRESULT CHyperLink::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETCURSOR:
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        case WM_LBUTTONUP:
            Open();
            return 0;
        case WM_NCHITTEST:
            return HTCLIENT;
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(hwnd(), &paint);
            RECT client{};
            GetClientRect(hwnd(), &client);
            auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(hwnd()), WM_CTLCOLORSTATIC,
                                                               reinterpret_cast<WPARAM>(dc),
                                                               reinterpret_cast<LPARAM>(hwnd())));
            if (brush != nullptr && brush != GetStockObject(NULL_BRUSH))
                FillRect(dc, &client, brush);
            SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, RGB(0x00, 0x66, 0xCC));
            HGDIOBJ old = SelectObject(dc, underlined_);
            std::wstring text = Widen(WindowTextOf(hwnd()));
            DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client,
                      DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
            SelectObject(dc, old);
            EndPaint(hwnd(), &paint);
            return 0;
        }
        default:
            return Default(message, wParam, lParam);
    }
}

}  // namespace ui
