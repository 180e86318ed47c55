#include "ui/Dialog.h"

#include <exception>

#include "platform/win32/WideText.h"

namespace ui {
namespace {

using platform::win32::Narrow;
using platform::win32::Widen;

// Dialog procedures answer these messages through their return value; every
// other answer goes through DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
    switch (message) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_QUERYDRAGICON:
        case WM_INITDIALOG:
            return true;
        default:
            return false;
    }
}

std::string WindowText(HWND window) {
    if (window == nullptr)
        return {};
    int length = GetWindowTextLengthW(window);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return Narrow(text);
}

// A handler that throws must not unwind through Windows' own frames; the
// failure is reported where a debugger sees it and the message counts as
// not handled.
void ReportEscapedException(UINT message, const char* what) {
    std::wstring text = L"Brindlex: unhandled exception in dialog message " +
                        std::to_wstring(message) + L": " + Widen(what) + L"\n";
    OutputDebugStringW(text.c_str());
}

}  // namespace

CDialog::CDialog(int templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
    // A modeless dialog outliving its object would call into freed memory.
    if (hwnd_ != nullptr && !modal_) {
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        DestroyWindow(hwnd_);
    }
}

HINSTANCE CDialog::Instance() {
    return GetModuleHandleW(nullptr);
}

INT_PTR CDialog::DoModal() {
    modal_ = true;
    INT_PTR answer = DialogBoxParamW(Instance(), MAKEINTRESOURCEW(templateId_), parent_,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (answer != -1)
        result_ = answer;
    return answer;
}

bool CDialog::Create() {
    modal_ = false;
    HWND window = CreateDialogParamW(Instance(), MAKEINTRESOURCEW(templateId_), parent_,
                                     &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return window != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
    result_ = result;
    if (hwnd_ == nullptr)
        return;
    if (modal_) {
        ::EndDialog(hwnd_, result);
    } else {
        DestroyWindow(hwnd_);
    }
}

HWND CDialog::Item(int id) const {
    return hwnd_ != nullptr ? GetDlgItem(hwnd_, id) : nullptr;
}

void CDialog::SetItemText(int id, std::string_view text) {
    if (HWND item = Item(id))
        SetWindowTextW(item, Widen(text).c_str());
}

std::string CDialog::ItemText(int id) const {
    return WindowText(Item(id));
}

void CDialog::SetText(std::string_view text) {
    if (hwnd_ != nullptr)
        SetWindowTextW(hwnd_, Widen(text).c_str());
}

bool CDialog::IsChecked(int id) const {
    HWND item = Item(id);
    return item != nullptr && SendMessageW(item, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CDialog::SetChecked(int id, bool checked) {
    if (HWND item = Item(id))
        SendMessageW(item, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CDialog::EnableItem(int id, bool enabled) {
    if (HWND item = Item(id))
        EnableWindow(item, enabled ? TRUE : FALSE);
}

void CDialog::ShowItem(int id, bool shown) {
    if (HWND item = Item(id))
        ShowWindow(item, shown ? SW_SHOW : SW_HIDE);
}

bool CDialog::OnInitDialog() {
    return true;
}

bool CDialog::OnCommand(int id, int) {
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::OnNotify(int, NMHDR*, LRESULT&) {
    return false;
}

void CDialog::OnTimer(UINT_PTR) {}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnDestroy() {}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->hwnd_ = window;
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    // Messages before WM_INITDIALOG (WM_SETFONT, ...) have no object yet.
    if (self == nullptr)
        return FALSE;
    INT_PTR answer = FALSE;
    try {
        answer = self->Dispatch(message, wParam, lParam);
    } catch (const std::exception& e) {
        ReportEscapedException(message, e.what());
        answer = FALSE;
    } catch (...) {
        ReportEscapedException(message, "unknown exception");
        answer = FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    return answer;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog() ? TRUE : FALSE;
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            LRESULT result = 0;
            if (!OnNotify(static_cast<int>(header->idFrom), header, result))
                return FALSE;
            SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_TIMER:
            OnTimer(wParam);
            return TRUE;
        case WM_DESTROY:
            OnDestroy();
            return FALSE;
        default:
            break;
    }
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, result))
        return FALSE;
    if (AnswersDirectly(message))
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace ui
