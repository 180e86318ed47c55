#pragma once
// The base of every window of the program: a dialog made from a resource
// template, modal or modeless, whose messages arrive at virtual handlers.
// Text crosses this boundary as UTF-8.
#include <string>
#include <string_view>

#include "platform/win32/Windows.h"

#include <commctrl.h>

namespace ui {

class CDialog {
  public:
    explicit CDialog(int templateId, HWND parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; the value given to EndDialog, or -1 when the
    // window could not be made.
    INT_PTR DoModal();
    // Makes the dialog modeless (shown when its template says so); false when
    // the window could not be made.
    bool Create();
    // Ends a modal dialog with `result`; destroys a modeless one.
    void EndDialog(INT_PTR result);

    HWND hwnd() const { return hwnd_; }
    HWND parent() const { return parent_; }
    int templateId() const { return templateId_; }
    // The value the dialog ended with (modeless dialogs too).
    INT_PTR result() const { return result_; }

    HWND Item(int id) const;
    void SetItemText(int id, std::string_view text);
    std::string ItemText(int id) const;
    void SetText(std::string_view text);
    bool IsChecked(int id) const;
    void SetChecked(int id, bool checked);
    void EnableItem(int id, bool enabled);
    void ShowItem(int id, bool shown);

    static HINSTANCE Instance();

  protected:
    // WM_INITDIALOG: return true to let the system set the focus.
    virtual bool OnInitDialog();
    // WM_COMMAND: true when handled. The default sends IDOK to OnOK and
    // IDCANCEL to OnCancel.
    virtual bool OnCommand(int id, int code);
    // WM_NOTIFY: true when handled, with the answer in `result`.
    virtual bool OnNotify(int id, NMHDR* header, LRESULT& result);
    virtual void OnTimer(UINT_PTR id);
    virtual void OnOK();      // default: EndDialog(IDOK)
    virtual void OnCancel();  // default: EndDialog(IDCANCEL)
    virtual void OnDestroy();
    // Every other message: true when handled, with the answer in `result`.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND parent_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    INT_PTR result_ = 0;
};

}  // namespace ui
