#include "ui/ListView.h"

#include <climits>

#include "platform/win32/WideText.h"

namespace ui {

using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

constexpr int kUncheckedImage = 1;
constexpr int kCheckedImage = 2;

}  // namespace

void CListView::AddExtendedStyle(DWORD style) {
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, style, static_cast<LPARAM>(style));
}

HWND CListView::Header() const {
    return reinterpret_cast<HWND>(Send(LVM_GETHEADER));
}

int CListView::InsertColumn(int index, std::string_view title, int width, int format) {
    std::wstring text = Widen(title);
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = format;
    column.cx = width;
    column.pszText = text.data();
    column.iSubItem = index;
    return static_cast<int>(
        Send(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
}

int CListView::InsertRow(int row, std::string_view text, LPARAM data) {
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row < 0 ? INT_MAX : row;
    item.pszText = wide.data();
    item.lParam = data;
    return static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

int CListView::AppendRow(std::string_view text, LPARAM data) {
    return InsertRow(RowCount(), text, data);
}

bool CListView::SetCellText(int row, int column, std::string_view text) {
    std::wstring wide = Widen(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    return Send(LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) != 0;
}

std::string CListView::CellText(int row, int column) const {
    // LVM_GETITEMTEXT cannot report the length it needs: grow until it fits.
    for (int capacity = 256; capacity <= 65536; capacity *= 4) {
        std::wstring buffer(static_cast<std::size_t>(capacity), L'\0');
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = buffer.data();
        item.cchTextMax = capacity;
        LRESULT length =
            Send(LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        if (length < capacity - 1) {
            buffer.resize(static_cast<std::size_t>(length));
            return Narrow(buffer);
        }
    }
    return {};
}

RECT CListView::CellRect(int row, int column) const {
    RECT rect{};
    rect.top = column;
    rect.left = column == 0 ? LVIR_LABEL : LVIR_BOUNDS;
    Send(LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

LPARAM CListView::RowData(int row) const {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return 0;
    return item.lParam;
}

int CListView::RowCount() const {
    return static_cast<int>(Send(LVM_GETITEMCOUNT));
}

bool CListView::DeleteAll() {
    return Send(LVM_DELETEALLITEMS) != 0;
}

bool CListView::DeleteRow(int row) {
    return Send(LVM_DELETEITEM, static_cast<WPARAM>(row)) != 0;
}

bool CListView::IsChecked(int row) const {
    auto state =
        static_cast<UINT>(Send(LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    return StateImage(state) == kCheckedImage;
}

void CListView::SetChecked(int row, bool checked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? kCheckedImage : kUncheckedImage);
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

int CListView::Selected() const {
    return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CListView::Select(int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool CListView::IsSelected(int row) const {
    return (Send(LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

int CListView::SelectionMark() const {
    return static_cast<int>(Send(LVM_GETSELECTIONMARK));
}

int CListView::HitTest(POINT point) const {
    LVHITTESTINFO info{};
    info.pt = point;
    return static_cast<int>(Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
}

}  // namespace ui
