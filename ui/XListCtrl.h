#pragma once
// A report-style list view with check boxes in the first column, cells with
// their own colours, cells edited through a drop-down combo box and cells
// that show a progress bar. The parent forwards the list's WM_NOTIFY to
// HandleNotify; the control tells the parent about check box clicks and combo
// choices with the registered messages below (wParam item, lParam subitem).
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/Windows.h"

#include <commctrl.h>

#include "ui/ListView.h"
#include "ui/WindowSubclass.h"
#include "ui/XHeaderCtrl.h"

namespace ui {

// "WM_XLISTCTRL_COMBO_SELECTION" and "WM_XLISTCTRL_CHECKBOX_CLICKED".
UINT ComboSelectionMessage();
UINT CheckboxClickedMessage();

class CXListCtrl : public CWindowSubclass {
  public:
    CXListCtrl() = default;
    ~CXListCtrl() override;

    // Takes over a list view of the report style: full-row selection, check
    // boxes, and the header as a CXHeaderCtrl.
    bool Attach(HWND list);
    CXHeaderCtrl& header() { return header_; }

    int InsertColumn(int column, std::string_view title, int width, int format = LVCFMT_LEFT);
    int GetColumnCount() const { return header_.GetItemCount(); }
    // The width of the client area.
    int ClientWidth() const;

    // Appends or inserts a row; the index it got, -1 on failure.
    int InsertItem(int item, std::string_view text, LPARAM data = 0);
    bool SetItemText(int item, int subItem, std::string_view text);
    std::string GetItemText(int item, int subItem) const;
    int GetItemCount() const { return view().RowCount(); }
    bool DeleteItem(int item);
    bool DeleteAllItems();
    LPARAM GetItemData(int item) const;

    bool GetCheck(int item) const;
    void SetCheck(int item, bool checked);
    int GetSelectionMark() const { return view().SelectionMark(); }
    // The row under a point in client coordinates, -1 for none.
    int HitTest(POINT point) const { return view().HitTest(point); }

    // The cell's text and background colours (CLR_DEFAULT for the list's).
    void SetCellColors(int item, int subItem, COLORREF text, COLORREF background);
    // The cell becomes a drop-down list of `choices`; a click opens it.
    void SetComboBox(int item, int subItem, std::vector<std::string> choices);
    // The cell shows a bar filled to `percent` (0 to 100) with the text over it.
    void SetProgress(int item, int subItem, int percent);

    // The list's notifications, forwarded by the parent: cell colours and
    // progress bars through custom drawing, check box changes. True when the
    // answer in `result` must be used.
    bool HandleNotify(NMHDR* header, LRESULT& result);

  protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    struct Cell {
        COLORREF text = CLR_DEFAULT;
        COLORREF background = CLR_DEFAULT;
        std::vector<std::string> choices;
        int progress = -1;
    };
    struct Row {
        LPARAM data = 0;
        std::vector<Cell> cells;
    };

    // The plain list operations. Not a base class: its row data is the Row
    // this control owns, never the caller's.
    CListView view() const { return CListView(hwnd()); }
    Row* RowOf(int item) const;
    Cell* CellOf(int item, int subItem);
    void FreeRow(const Row* row);
    void OpenCombo(int item, int subItem);
    void CloseCombo(bool accept);
    void DrawProgress(NMLVCUSTOMDRAW& draw, const Cell& cell);

    CXHeaderCtrl header_;
    std::vector<std::unique_ptr<Row>> rows_;
    HWND combo_ = nullptr;
    int comboItem_ = -1;
    int comboSubItem_ = -1;
    bool ownChange_ = false;
};

}  // namespace ui
