// The main window's side of a scan: starting and stopping it, the reports of
// the scan thread, the rows of the results list, the end of the scan and
// the removal of what was found.
#include <shlobj.h>

#include <algorithm>
#include <string>

#include "app/win32/MainDialog.h"
#include "app/win32/dialogs/RemovalDialog.h"
#include "platform/win32/WideText.h"
#include "removal/Backup.h"

namespace app {

using platform::win32::Narrow;
using platform::win32::Widen;
namespace ids = main_dialog;

namespace {

constexpr int kDangerColumn = 3;

// The shell's folder browser; empty when nothing usable was chosen.
std::string BrowseForFolder(HWND owner, removal::Prompts& prompts) {
    std::wstring title = Widen(kSelectFolderTitle);
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen == nullptr)
        return {};
    wchar_t path[MAX_PATH] = {};
    bool usable = SHGetPathFromIDListW(chosen, path) != FALSE;
    CoTaskMemFree(chosen);
    if (!usable) {
        prompts.Ask(kCannotUsePath, kMessageCaption, removal::Buttons::kOk);
        return {};
    }
    return Narrow(path);
}

}  // namespace

// --- On the scan thread ----------------------------------------------------

// The count goes up before closing_ is read, and the window sets closing_
// before it reads the count: either the call sees closing_ or the window
// sees the call and takes its messages until it is over.
bool CMainDialog::EnterCallback() {
    ++inCallback_;
    if (!closing_)
        return true;
    --inCallback_;
    return false;
}

void CMainDialog::PaintProgress(std::string_view text, int scannedCount) {
    SetWindowTextW(Item(ids::kStatusLine), Widen(text).c_str());
    SetWindowTextW(Item(ids::kItemsScannedValue), std::to_wstring(scannedCount).c_str());
    // Stepping by one through 0 to 20000 starts again at 0 past the end.
    SendMessageW(Item(ids::kProgressBar), PBM_SETPOS,
                 static_cast<WPARAM>(scannedCount % (ids::kProgressRange + 1)), 0);
}

void CMainDialog::OnProgress(std::string_view text, int scannedCount) {
    lastProgressText_ = std::string(text);
    lastScannedCount_ = scannedCount;
    if (!throttle_.ShouldRepaint(GetTickCount64()) || !EnterCallback())
        return;
    PaintProgress(text, scannedCount);
    LeaveCallback();
}

void CMainDialog::SendDetection(UINT message, refdb::SpywareEntry& entry, void* item) {
    if (!EnterCallback())
        return;
    SendMessageW(hwnd(), message, reinterpret_cast<WPARAM>(&entry), reinterpret_cast<LPARAM>(item));
    LeaveCallback();
}

void CMainDialog::OnFile(refdb::SpywareEntry& entry, refdb::FileItem& item) {
    SendDetection(WM_ADD_FILE_ITEM, entry, &item);
}
void CMainDialog::OnCookie(refdb::SpywareEntry& entry, refdb::CookieItem& item) {
    SendDetection(WM_ADD_COOKIE_ITEM, entry, &item);
}
void CMainDialog::OnDirectory(refdb::SpywareEntry& entry, refdb::DirectoryItem& item) {
    SendDetection(WM_ADD_DIRECTORY_ITEM, entry, &item);
}
void CMainDialog::OnRegKey(refdb::SpywareEntry& entry, refdb::RegKeyItem& item) {
    SendDetection(WM_ADD_REGKEY_ITEM, entry, &item);
}
void CMainDialog::OnRegValue(refdb::SpywareEntry& entry, refdb::RegValueItem& item) {
    SendDetection(WM_ADD_REGVALUE_ITEM, entry, &item);
}
void CMainDialog::OnRegData(refdb::SpywareEntry& entry, refdb::RegDataItem& item) {
    SendDetection(WM_ADD_REGVALUEDATA_ITEM, entry, &item);
}
void CMainDialog::OnPrefsLine(refdb::SpywareEntry& entry, refdb::PrefsLineItem& item) {
    SendDetection(WM_ADD_PREFSLINE_ITEM, entry, &item);
}

void CMainDialog::OnFinished() {
    if (!EnterCallback())
        return;
    // The last step is always shown, however soon after the one before.
    if (lastScannedCount_ > 0)
        PaintProgress(lastProgressText_, lastScannedCount_);
    SendMessageW(hwnd(), WM_SCAN_FINISHED, 0, 0);
    LeaveCallback();
}

// --- On the window's thread -------------------------------------------------

void CMainDialog::ResetForScan() {
    for (int id : {ids::kCookiesValue, ids::kFilesValue, ids::kMemoryValue, ids::kRegistryValue})
        SetItemText(id, kCounterReset);
    SetItemText(ids::kDescription, "");
    scan::ResetDetections(context_.database);
    ClearRows();
    HWND progress = Item(ids::kProgressBar);
    SendMessageW(progress, PBM_SETRANGE32, 0, ids::kProgressRange);
    SendMessageW(progress, PBM_SETSTEP, 1, 0);
    SendMessageW(progress, PBM_SETPOS, 0, 0);
    throttle_.Reset();
    lastProgressText_.clear();
    lastScannedCount_ = 0;
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CMainDialog::OnScanMyPc() {
    ResetForScan();
    if (model_.StartSystemScan(*this))
        SetButtonState(ButtonState::kScanning);
}

void CMainDialog::OnScanFilesFolders() {
    std::string folder = BrowseForFolder(hwnd(), prompts_);
    if (folder.empty())
        return;
    ResetForScan();
    if (model_.StartFolderScan(*this, folder))
        SetButtonState(ButtonState::kScanning);
}

void CMainDialog::OnStopScan() {
    if (!IsScanning() || !model_.AskStopScan())
        return;
    smartScan_.Stop();
    fullScan_.Stop();
    folderScan_.Stop();
    SendMessageW(Item(ids::kProgressBar), PBM_SETPOS, 0, 0);
}

bool CMainDialog::AddDetection(UINT message, WPARAM wParam, LPARAM lParam) {
    auto& entry = *reinterpret_cast<refdb::SpywareEntry*>(wParam);
    scan::ResultRows& rows = context_.rows;
    bool added = false;
    switch (message) {
        case WM_ADD_FILE_ITEM:
            added = rows.AddFile(entry, *reinterpret_cast<refdb::FileItem*>(lParam));
            break;
        case WM_ADD_COOKIE_ITEM:
            added = rows.AddCookie(entry, *reinterpret_cast<refdb::CookieItem*>(lParam));
            break;
        case WM_ADD_DIRECTORY_ITEM:
            added = rows.AddDirectory(entry, *reinterpret_cast<refdb::DirectoryItem*>(lParam));
            break;
        case WM_ADD_REGKEY_ITEM:
            added = rows.AddRegKey(entry, *reinterpret_cast<refdb::RegKeyItem*>(lParam));
            break;
        case WM_ADD_REGVALUE_ITEM:
            added = rows.AddRegValue(entry, *reinterpret_cast<refdb::RegValueItem*>(lParam));
            break;
        case WM_ADD_REGVALUEDATA_ITEM:
            added = rows.AddRegData(entry, *reinterpret_cast<refdb::RegDataItem*>(lParam));
            break;
        case WM_ADD_PREFSLINE_ITEM:
            added = rows.AddPrefsLine(entry, *reinterpret_cast<refdb::PrefsLineItem*>(lParam));
            break;
        default:
            break;
    }
    if (!added)
        return false;
    AppendListRow(rows.rows().back());
    ShowCounters();
    return true;
}

void CMainDialog::AppendListRow(const scan::ResultRow& row) {
    const int index =
        list_.InsertItem(list_.GetItemCount(), row.item, reinterpret_cast<LPARAM>(&row.data));
    if (index < 0)
        return;
    list_.SetItemText(index, 1, row.location);
    list_.SetItemText(index, 2, row.type);
    list_.SetItemText(index, kDangerColumn, row.danger);
    list_.SetCellColors(index, kDangerColumn, static_cast<COLORREF>(kDangerTextColour),
                        static_cast<COLORREF>(kDangerBackColour));
    list_.SetCheck(index, row.checked);
}

void CMainDialog::ShowCounters() {
    CounterTexts texts = CounterTextsOf(context_.rows);
    SetItemText(ids::kRegistryValue, texts.registry);
    SetItemText(ids::kCookiesValue, texts.cookies);
    SetItemText(ids::kFilesValue, texts.files);
}

void CMainDialog::SyncChecks() {
    scan::ResultRows& rows = context_.rows;
    const int count = std::min(list_.GetItemCount(), static_cast<int>(rows.size()));
    for (int i = 0; i < count; ++i)
        rows.rows()[static_cast<std::size_t>(i)].checked = list_.GetCheck(i);
}

void CMainDialog::ClearRows() {
    list_.DeleteAllItems();
    context_.rows.Clear();
}

void CMainDialog::OnScanFinished() {
    SyncChecks();
    const bool aborted = scanContext_.stopRequested.load();
    ScanFinishedPlan plan = model_.OnScanFinished(aborted, context_.rows);
    if (plan.recomputeSchedule)
        schedule_.Arm(hwnd());
    if (plan.resetProgress)
        SendMessageW(Item(ids::kProgressBar), PBM_SETPOS, 0, 0);
    SetItemText(ids::kStatusLine, plan.status);
    prompts_.Ask(plan.status, kMessageCaption, removal::Buttons::kOk);
    SetButtonState(ButtonState::kIdle);
    if (plan.offerRemoval && model_.AskRemoveDetected(context_.rows.size()))
        OnRemoveItems();
}

void CMainDialog::OnListItemChanged(const NMLISTVIEW& change) {
    if ((change.uChanged & LVIF_STATE) == 0)
        return;
    const auto item = static_cast<std::size_t>(change.iItem);
    if ((change.uNewState & LVIS_SELECTED) != 0 && item < context_.rows.size()) {
        const refdb::SpywareEntry* entry = context_.rows.rows()[item].data.entry;
        SetItemText(ids::kDescription, entry != nullptr ? entry->description : std::string());
    } else {
        SetItemText(ids::kDescription, "");
    }
}

void CMainDialog::OnListRightClick() {
    POINT cursor{};
    GetCursorPos(&cursor);
    POINT inList = cursor;
    ScreenToClient(list_.hwnd(), &inList);
    if (list_.HitTest(inList) < 0)
        return;
    HMENU menu = LoadMenuW(Instance(), MAKEINTRESOURCEW(resources::kRowMenu));
    if (menu == nullptr)
        return;
    TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0,
                   hwnd(), nullptr);
    DestroyMenu(menu);
}

void CMainDialog::OnRowCommand(int command) {
    const int mark = list_.GetSelectionMark();
    if (mark < 0 || static_cast<std::size_t>(mark) >= context_.rows.size())
        return;
    SyncChecks();
    const auto row = static_cast<std::size_t>(mark);
    if (command == commands::kAddToIgnoreList) {
        model_.AddToIgnoreList(context_.rows, row);
        return;
    }
    const bool checked = command == commands::kCheckRelated;
    for (std::size_t related : SetRelatedChecks(context_.rows, row, checked))
        list_.SetCheck(static_cast<int>(related), checked);
}

bool CMainDialog::OnNotify(int id, NMHDR* header, LRESULT& result) {
    if (id != ids::kResultsList)
        return false;
    if (list_.HandleNotify(header, result))
        return true;
    if (header->code == LVN_ITEMCHANGED) {
        OnListItemChanged(*reinterpret_cast<NMLISTVIEW*>(header));
        return false;
    }
    if (header->code == NM_RCLICK) {
        OnListRightClick();
        return true;
    }
    return false;
}

// --- Removal -----------------------------------------------------------------

void CMainDialog::OnRemoveItems() {
    SyncChecks();
    removal::RemovalRequest request{
        context_.system, context_.database, context_.rows, prompts_, *this, *this};
    removal::RemoveSelectedItems(request);
}

bool CMainDialog::RunRemovalDialog(int totalCount,
                                   const std::function<bool(removal::RemovalProgress&)>& pass) {
    CRemovalDialog dialog(context_, hwnd(), totalCount, pass);
    dialog.DoModal();
    return dialog.restartNeeded();
}

void CMainDialog::OnDetectionsCleared() {
    // The removal emptied the rows the list items point at.
    list_.DeleteAllItems();
    SetItemText(ids::kDescription, "");
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool CMainDialog::CreateBackup(refdb::ReferenceDatabase& database) {
    removal::BackupOptions options;
    options.tickCount = [] { return static_cast<std::uint32_t>(GetTickCount()); };
    options.busy = [](bool busy) { SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW)); };
    return removal::CreateBackup(context_.system, database, options);
}

}  // namespace app
