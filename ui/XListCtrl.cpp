#include "ui/XListCtrl.h"

#include <algorithm>
#include <utility>

#include "platform/win32/WideText.h"

namespace ui {

using platform::win32::Narrow;
using platform::win32::Widen;

namespace {

constexpr int kComboDropHeight = 160;

}  // namespace

UINT ComboSelectionMessage() {
    static const UINT message = RegisterWindowMessageW(L"WM_XLISTCTRL_COMBO_SELECTION");
    return message;
}

UINT CheckboxClickedMessage() {
    static const UINT message = RegisterWindowMessageW(L"WM_XLISTCTRL_CHECKBOX_CLICKED");
    return message;
}

CXListCtrl::~CXListCtrl() {
    if (hwnd() != nullptr) {
        CloseCombo(false);
        // The rows' data dies with this object; the window must not keep it.
        view().DeleteAll();
    }
}

bool CXListCtrl::Attach(HWND list) {
    if (!CWindowSubclass::Attach(list))
        return false;
    view().AddExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES);
    header_.Attach(view().Header());
    return true;
}

int CXListCtrl::InsertColumn(int column, std::string_view title, int width, int format) {
    return view().InsertColumn(column, title, width, format);
}

int CXListCtrl::ClientWidth() const {
    RECT rect{};
    GetClientRect(hwnd(), &rect);
    return rect.right - rect.left;
}

int CXListCtrl::InsertItem(int item, std::string_view text, LPARAM data) {
    // The window keeps the row's Row; the caller's data lives in it.
    auto row = std::make_unique<Row>();
    row->data = data;
    ownChange_ = true;
    int index = view().InsertRow(item, text, reinterpret_cast<LPARAM>(row.get()));
    ownChange_ = false;
    if (index >= 0)
        rows_.push_back(std::move(row));
    return index;
}

bool CXListCtrl::SetItemText(int item, int subItem, std::string_view text) {
    return view().SetCellText(item, subItem, text);
}

std::string CXListCtrl::GetItemText(int item, int subItem) const {
    return view().CellText(item, subItem);
}

// Deleting goes through WindowProc, which frees the rows' Row.
bool CXListCtrl::DeleteItem(int item) {
    return view().DeleteRow(item);
}

bool CXListCtrl::DeleteAllItems() {
    return view().DeleteAll();
}

CXListCtrl::Row* CXListCtrl::RowOf(int item) const {
    return reinterpret_cast<Row*>(view().RowData(item));
}

LPARAM CXListCtrl::GetItemData(int item) const {
    Row* row = RowOf(item);
    return row != nullptr ? row->data : 0;
}

CXListCtrl::Cell* CXListCtrl::CellOf(int item, int subItem) {
    Row* row = RowOf(item);
    if (row == nullptr || subItem < 0)
        return nullptr;
    if (row->cells.size() <= static_cast<std::size_t>(subItem))
        row->cells.resize(static_cast<std::size_t>(subItem) + 1);
    return &row->cells[static_cast<std::size_t>(subItem)];
}

void CXListCtrl::FreeRow(const Row* row) {
    auto found = std::find_if(rows_.begin(), rows_.end(), [row](const std::unique_ptr<Row>& owned) {
        return owned.get() == row;
    });
    if (found != rows_.end())
        rows_.erase(found);
}

bool CXListCtrl::GetCheck(int item) const {
    return view().IsChecked(item);
}

void CXListCtrl::SetCheck(int item, bool checked) {
    // Not a click: the parent is not told.
    ownChange_ = true;
    view().SetChecked(item, checked);
    ownChange_ = false;
}

void CXListCtrl::SetCellColors(int item, int subItem, COLORREF text, COLORREF background) {
    if (Cell* cell = CellOf(item, subItem)) {
        cell->text = text;
        cell->background = background;
    }
}

void CXListCtrl::SetComboBox(int item, int subItem, std::vector<std::string> choices) {
    if (Cell* cell = CellOf(item, subItem))
        cell->choices = std::move(choices);
}

void CXListCtrl::SetProgress(int item, int subItem, int percent) {
    if (Cell* cell = CellOf(item, subItem)) {
        cell->progress = std::clamp(percent, 0, 100);
        Send(LVM_REDRAWITEMS, static_cast<WPARAM>(item), item);
    }
}

void CXListCtrl::DrawProgress(NMLVCUSTOMDRAW& draw, const Cell& cell) {
    const int item = static_cast<int>(draw.nmcd.dwItemSpec);
    const RECT rect = view().CellRect(item, draw.iSubItem);
    HDC dc = draw.nmcd.hdc;
    FillRect(dc, &rect, GetSysColorBrush(COLOR_WINDOW));
    RECT bar = rect;
    InflateRect(&bar, -2, -2);
    FrameRect(dc, &bar, GetSysColorBrush(COLOR_BTNSHADOW));
    RECT filled = bar;
    InflateRect(&filled, -1, -1);
    filled.right = filled.left + (filled.right - filled.left) * cell.progress / 100;
    HBRUSH fill = CreateSolidBrush(RGB(0x1F, 0x9E, 0x9A));
    FillRect(dc, &filled, fill);
    DeleteObject(fill);
    std::wstring text = Widen(GetItemText(item, draw.iSubItem));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bar,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
}

bool CXListCtrl::HandleNotify(NMHDR* header, LRESULT& result) {
    if (header == nullptr || header->hwndFrom != hwnd())
        return false;
    if (header->code == NM_CUSTOMDRAW) {
        auto& draw = *reinterpret_cast<NMLVCUSTOMDRAW*>(header);
        switch (draw.nmcd.dwDrawStage) {
            case CDDS_PREPAINT:
                result = CDRF_NOTIFYITEMDRAW;
                return true;
            case CDDS_ITEMPREPAINT:
                result = CDRF_NOTIFYSUBITEMDRAW;
                return true;
            case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
                Row* row = reinterpret_cast<Row*>(draw.nmcd.lItemlParam);
                const auto subItem = static_cast<std::size_t>(draw.iSubItem);
                Cell plain;
                const Cell& cell =
                    row != nullptr && subItem < row->cells.size() ? row->cells[subItem] : plain;
                if (cell.progress >= 0) {
                    DrawProgress(draw, cell);
                    result = CDRF_SKIPDEFAULT;
                    return true;
                }
                // A selected row keeps the list's highlight.
                if (view().IsSelected(static_cast<int>(draw.nmcd.dwItemSpec))) {
                    result = CDRF_DODEFAULT;
                    return true;
                }
                draw.clrText = cell.text != CLR_DEFAULT ? cell.text : GetSysColor(COLOR_WINDOWTEXT);
                draw.clrTextBk =
                    cell.background != CLR_DEFAULT ? cell.background : GetSysColor(COLOR_WINDOW);
                result = CDRF_DODEFAULT;
                return true;
            }
            default:
                result = CDRF_DODEFAULT;
                return true;
        }
    }
    if (header->code == LVN_ITEMCHANGED && !ownChange_) {
        const auto& change = *reinterpret_cast<NMLISTVIEW*>(header);
        const int oldImage = CListView::StateImage(change.uOldState);
        const int newImage = CListView::StateImage(change.uNewState);
        // Image 0 is a row that has just been inserted, not a click.
        if ((change.uChanged & LVIF_STATE) != 0 && oldImage != 0 && newImage != 0 &&
            oldImage != newImage) {
            SendMessageW(GetParent(hwnd()), CheckboxClickedMessage(),
                         static_cast<WPARAM>(change.iItem), 0);
        }
    }
    return false;
}

void CXListCtrl::OpenCombo(int item, int subItem) {
    CloseCombo(false);
    Cell* cell = CellOf(item, subItem);
    if (cell == nullptr || cell->choices.empty())
        return;
    const RECT rect = view().CellRect(item, subItem);
    combo_ = CreateWindowExW(
        0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST, rect.left,
        rect.top, rect.right - rect.left, rect.bottom - rect.top + kComboDropHeight, hwnd(),
        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (combo_ == nullptr)
        return;
    comboItem_ = item;
    comboSubItem_ = subItem;
    SendMessageW(combo_, WM_SETFONT, static_cast<WPARAM>(Send(WM_GETFONT)), FALSE);
    const std::string current = GetItemText(item, subItem);
    for (const std::string& choice : cell->choices) {
        LRESULT index =
            SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(choice).c_str()));
        if (choice == current)
            SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    SetFocus(combo_);
    SendMessageW(combo_, CB_SHOWDROPDOWN, TRUE, 0);
}

void CXListCtrl::CloseCombo(bool accept) {
    if (combo_ == nullptr)
        return;
    // Destroying the combo box sends notifications that come back here.
    HWND combo = std::exchange(combo_, nullptr);
    const int item = comboItem_;
    const int subItem = comboSubItem_;
    std::string choice;
    LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (accept && selected != CB_ERR) {
        auto length = static_cast<std::size_t>(
            SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0));
        std::wstring text(length + 1, L'\0');
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(selected),
                     reinterpret_cast<LPARAM>(text.data()));
        text.resize(length);
        choice = Narrow(text);
    }
    DestroyWindow(combo);
    if (!accept || selected == CB_ERR)
        return;
    SetItemText(item, subItem, choice);
    SendMessageW(GetParent(hwnd()), ComboSelectionMessage(), static_cast<WPARAM>(item), subItem);
}

LRESULT CXListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN: {
            LVHITTESTINFO hit{};
            hit.pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            Send(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
            if (hit.iItem >= 0 && (hit.flags & LVHT_ONITEMSTATEICON) == 0) {
                Row* row = RowOf(hit.iItem);
                const auto subItem = static_cast<std::size_t>(hit.iSubItem);
                if (row != nullptr && subItem < row->cells.size() &&
                    !row->cells[subItem].choices.empty()) {
                    LRESULT result = Default(message, wParam, lParam);
                    OpenCombo(hit.iItem, hit.iSubItem);
                    return result;
                }
            }
            break;
        }
        case WM_COMMAND:
            if (combo_ != nullptr && reinterpret_cast<HWND>(lParam) == combo_) {
                if (HIWORD(wParam) == CBN_SELENDOK)
                    CloseCombo(true);
                else if (HIWORD(wParam) == CBN_SELENDCANCEL || HIWORD(wParam) == CBN_KILLFOCUS)
                    CloseCombo(false);
                return 0;
            }
            break;
        case WM_VSCROLL:
        case WM_HSCROLL:
        case WM_MOUSEWHEEL:
            CloseCombo(false);
            break;
        case LVM_DELETEITEM: {
            CloseCombo(false);
            Row* row = RowOf(static_cast<int>(wParam));
            LRESULT result = Default(message, wParam, lParam);
            if (result != 0)
                FreeRow(row);
            return result;
        }
        case LVM_DELETEALLITEMS: {
            CloseCombo(false);
            LRESULT result = Default(message, wParam, lParam);
            rows_.clear();
            return result;
        }
        default:
            break;
    }
    return Default(message, wParam, lParam);
}

}  // namespace ui
