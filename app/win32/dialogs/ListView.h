#pragma once
// A non-owning view of a report-style list control with UTF-8 texts: the
// few operations the dialogs need.
#include <string>
#include <string_view>

#include "platform/win32/Windows.h"

#include <commctrl.h>

namespace app {

class CListView {
  public:
    explicit CListView(HWND window = nullptr) : window_(window) {}
    void Attach(HWND window) { window_ = window; }
    HWND hwnd() const { return window_; }

    void AddExtendedStyle(DWORD style);
    void InsertColumn(int index, std::string_view title, int width);
    // Appends a row; returns its index or -1.
    int AppendRow(std::string_view text, LPARAM data = 0);
    void SetCellText(int row, int column, std::string_view text);
    std::string CellText(int row, int column) const;
    LPARAM RowData(int row) const;
    int RowCount() const;
    void DeleteAll();
    bool DeleteRow(int row);
    bool IsChecked(int row) const;
    void SetChecked(int row, bool checked);
    // The first selected row, or -1.
    int Selected() const;
    void Select(int row);

  private:
    HWND window_;
};

}  // namespace app
