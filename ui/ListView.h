#pragma once
// A non-owning view of a report-style list control with UTF-8 texts: the
// plain operations on columns, rows, cells, check boxes and the selection.
// CXListCtrl builds its cell colours, combo boxes and progress cells on it.
#include <string>
#include <string_view>

#include "platform/win32/Windows.h"

#include <commctrl.h>

namespace ui {

class CListView {
  public:
    explicit CListView(HWND window = nullptr) : window_(window) {}
    void Attach(HWND window) { window_ = window; }
    HWND hwnd() const { return window_; }

    void AddExtendedStyle(DWORD style);
    HWND Header() const;
    // Returns the column's index or -1.
    int InsertColumn(int index, std::string_view title, int width, int format = LVCFMT_LEFT);

    // Inserts a row at `row` (at the end when negative); returns its index or -1.
    int InsertRow(int row, std::string_view text, LPARAM data = 0);
    // Appends a row; returns its index or -1.
    int AppendRow(std::string_view text, LPARAM data = 0);
    bool SetCellText(int row, int column, std::string_view text);
    std::string CellText(int row, int column) const;
    // The cell's rectangle in client coordinates; column 0 is its label only.
    RECT CellRect(int row, int column) const;
    // The row's LPARAM, 0 when there is no such row.
    LPARAM RowData(int row) const;
    int RowCount() const;
    bool DeleteAll();
    bool DeleteRow(int row);

    // The state image of a row's state bits: 0 none yet, 1 empty box, 2 ticked.
    static int StateImage(UINT state) {
        return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12);
    }
    bool IsChecked(int row) const;
    void SetChecked(int row, bool checked);

    // The first selected row, or -1.
    int Selected() const;
    void Select(int row);
    bool IsSelected(int row) const;
    int SelectionMark() const;
    // The row under a point in client coordinates, -1 for none.
    int HitTest(POINT point) const;

  private:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return SendMessageW(window_, message, wParam, lParam);
    }

    HWND window_;
};

}  // namespace ui
