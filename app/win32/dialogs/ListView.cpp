#include "app/win32/dialogs/ListView.h"

#include "platform/win32/WideText.h"

namespace app {

using platform::win32::Narrow;
using platform::win32::Widen;

void CListView::AddExtendedStyle(DWORD style) {
    ListView_SetExtendedListViewStyleEx(window_, style, style);
}

void CListView::InsertColumn(int index, std::string_view title, int width) {
    std::wstring text = Widen(title);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = text.data();
    column.cx = width;
    column.iSubItem = index;
    SendMessageW(window_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&column));
}

int CListView::AppendRow(std::string_view text, LPARAM data) {
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = RowCount();
    item.pszText = wide.data();
    item.lParam = data;
    return static_cast<int>(
        SendMessageW(window_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

void CListView::SetCellText(int row, int column, std::string_view text) {
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(window_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

std::string CListView::CellText(int row, int column) const {
    // LVM_GETITEMTEXT cannot report the length it needs: grow until it fits.
    for (int capacity = 256; capacity <= 65536; capacity *= 4) {
        std::wstring buffer(static_cast<std::size_t>(capacity), L'\0');
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = capacity;
        LRESULT length = SendMessageW(window_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                      reinterpret_cast<LPARAM>(&item));
        if (length < capacity - 1) {
            buffer.resize(static_cast<std::size_t>(length));
            return Narrow(buffer);
        }
    }
    return {};
}

LPARAM CListView::RowData(int row) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageW(window_, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return 0;
    return item.lParam;
}

int CListView::RowCount() const {
    return static_cast<int>(SendMessageW(window_, LVM_GETITEMCOUNT, 0, 0));
}

void CListView::DeleteAll() {
    SendMessageW(window_, LVM_DELETEALLITEMS, 0, 0);
}

bool CListView::DeleteRow(int row) {
    return SendMessageW(window_, LVM_DELETEITEM, static_cast<WPARAM>(row), 0) != 0;
}

bool CListView::IsChecked(int row) const {
    auto state = static_cast<UINT>(
        SendMessageW(window_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    // State image 2 is the ticked box, 1 the empty one.
    return (state >> 12) == 2;
}

void CListView::SetChecked(int row, bool checked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

int CListView::Selected() const {
    return static_cast<int>(
        SendMessageW(window_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CListView::Select(int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(window_, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

}  // namespace app
