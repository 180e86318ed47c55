#pragma once
// `CMainDialog` (dialog 102): the program's only top-level window. It turns
// the scan thread's reports into rows of the results list, runs the command
// buttons and menus, and applies the closing rules; the decisions are those
// of MainWindowModel. Message boxes go through the prompt interfaces given
// at construction, so tests can answer them.
#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "app/LaunchOptions.h"
#include "app/MainWindowModel.h"
#include "app/win32/AppContext.h"
#include "app/win32/ShieldPopup.h"
#include "app/win32/SmallDialogs.h"
#include "app/win32/TrayIcon.h"
#include "realtime/win32/RealTimeFilter.h"
#include "removal/RemovalFlow.h"
#include "scan/ScanContext.h"
#include "scan/ScanDriver.h"
#include "schedule/win32/ScanSchedule.h"
#include "shields/ShieldMonitor.h"
#include "shields/places/CookieDecisions.h"
#include "shields/places/win32/InternetShortcut.h"
#include "shields/win32/ShieldWatchers.h"
#include "ui/BitmapButton.h"
#include "ui/Dialog.h"
#include "ui/XListCtrl.h"
#include "update/UpdatePrompts.h"

namespace app {

class CMainDialog : public ui::CDialog,
                    private scan::ScanObserver,
                    private removal::RemovalView,
                    private removal::BackupMaker,
                    private ScanStarter {
  public:
    CMainDialog(AppContext& context, LaunchOptions options, removal::Prompts& prompts,
                update::UpdatePrompts& updatePrompts);
    ~CMainDialog() override;

    // Replaces dialog 228 (tests answer the notice themselves).
    void SetMinimizeNotice(MinimizeNotice& notice) { notice_ = &notice; }
    // Replaces the system tray before the window is made.
    void SetTray(std::unique_ptr<TrayIcon> tray) { tray_ = std::move(tray); }

    // `LoadReferenceFile`: loads the Reference file with the recovery
    // dialogue, reporting to `progressBar`.
    bool LoadReferenceFile(HWND progressBar);
    void SetButtonState(ButtonState state);
    // Frees every row of the list and of the context.
    void ClearRows();

    // The five commands, as their buttons run them.
    void OnScanMyPc();
    void OnScanFilesFolders();
    void OnStopScan();
    void OnUpdateProtection();
    void OnRemoveItems();
    // Hides the window in the tray and shows the icon; and back.
    void GoToTray();
    void RestoreFromTray();

    bool IsScanning() const { return scanContext_.scanning.load(); }
    ui::CXListCtrl& list() { return list_; }
    MainWindowModel& model() { return model_; }
    schedule::CScanSchedule& schedule() { return schedule_; }
    TrayIcon* tray() { return tray_.get(); }
    shields::CShieldMonitor& shieldMonitor() { return shieldMonitor_; }
    realtime::CRealTimeFilter& realTimeFilter() { return realTimeFilter_; }
    // Shield watcher threads still running.
    std::size_t ShieldThreads() const { return watchers_ ? watchers_->Running() : 0; }
    AppContext& context() { return context_; }

  protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    bool OnNotify(int id, NMHDR* header, LRESULT& result) override;
    void OnTimer(UINT_PTR id) override;
    void OnOK() override {}
    void OnCancel() override;
    void OnDestroy() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  private:
    // scan::ScanObserver, on the scan thread.
    void OnProgress(std::string_view text, int scannedCount) override;
    void OnFile(refdb::SpywareEntry& entry, refdb::FileItem& item) override;
    void OnCookie(refdb::SpywareEntry& entry, refdb::CookieItem& item) override;
    void OnDirectory(refdb::SpywareEntry& entry, refdb::DirectoryItem& item) override;
    void OnRegKey(refdb::SpywareEntry& entry, refdb::RegKeyItem& item) override;
    void OnRegValue(refdb::SpywareEntry& entry, refdb::RegValueItem& item) override;
    void OnRegData(refdb::SpywareEntry& entry, refdb::RegDataItem& item) override;
    void OnPrefsLine(refdb::SpywareEntry& entry, refdb::PrefsLineItem& item) override;
    void OnFinished() override;
    void SendDetection(UINT message, refdb::SpywareEntry& entry, void* item);
    void PaintProgress(std::string_view text, int scannedCount);

    // removal::RemovalView and removal::BackupMaker.
    bool RunRemovalDialog(int totalCount,
                          const std::function<bool(removal::RemovalProgress&)>& pass) override;
    void OnDetectionsCleared() override;
    bool CreateBackup(refdb::ReferenceDatabase& database) override;

    // ScanStarter over the three scan objects.
    bool StartSmart() override { return smartScan_.Start(); }
    bool StartFull() override { return fullScan_.Start(); }
    bool StartFolder(std::string_view folder) override {
        return folderScan_.Start(std::string(folder));
    }

    void BuildResultsList();
    void SetUpLook();
    void ResetForScan();
    bool AddDetection(UINT message, WPARAM wParam, LPARAM lParam);
    void AppendListRow(const scan::ResultRow& row);
    void ShowCounters();
    void SyncChecks();
    void OnScanFinished();
    void OnListItemChanged(const NMLISTVIEW& change);
    void OnListRightClick();
    void OnRowCommand(int command);
    void OnStartScheduledScan();
    void OnTrayExit();
    void OnConfigureShields();
    // Loads or unloads the filter module by the "rltime" switch.
    void ApplyRealTimeSwitch();
    // WM_EXE_LAUNCH_PROMPT: 1 lets the launch go, 0 stops it.
    LRESULT OnExeLaunchPrompt(WPARAM caller, LPARAM executable);
    // What the shields need of this window and the shell.
    void ProvideShieldServices();
    void ShowAbout();
    void ReloadReference();
    void StopScanAndWait();
    LRESULT OnCtlColorStatic(HDC dc, HWND control);

    AppContext& context_;
    removal::Prompts& prompts_;
    update::UpdatePrompts& updatePrompts_;
    MainWindowModel model_;
    schedule::CScanSchedule schedule_;
    std::unique_ptr<CNotificationPopup> schedulePopup_;
    CMinimizeNoticeDialog ownNotice_;
    MinimizeNotice* notice_ = &ownNotice_;
    std::unique_ptr<TrayIcon> tray_;
    ShieldPopup shieldPopup_;
    shields::win32::InternetShortcutResolver shortcutResolver_;
    // Shared by the cookie shield and the "Ignored Cookies" window.
    shields::RegistryCookieDecisions cookieDecisions_;
    ULONG favoritesRegistration_ = 0;
    shields::CShieldMonitor shieldMonitor_;
    realtime::CRealTimeFilter realTimeFilter_;
    std::unique_ptr<shields::win32::ShieldWatchers> watchers_;

    scan::ScanContext scanContext_;
    scan::SmartScan smartScan_{scanContext_};
    scan::FullScan fullScan_{scanContext_};
    scan::FolderScan folderScan_{scanContext_};
    // Set once the window is going away: the scan thread stops reporting.
    std::atomic<bool> closing_{false};
    // Scan-thread calls into the window under way; the window waits for
    // them with its sent messages flowing.
    std::atomic<int> inCallback_{0};
    bool EnterCallback();
    void LeaveCallback() { --inCallback_; }
    // Scan thread only.
    RepaintThrottle throttle_;
    std::string lastProgressText_;
    int lastScannedCount_ = 0;

    ui::CXListCtrl list_;
    std::array<ui::CBitmapButton, 5> buttons_;
    HICON largeIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    HBITMAP background_ = nullptr;
    HBITMAP rendered_ = nullptr;  // the background at the client's size
    HFONT titleFont_ = nullptr;
};

}  // namespace app
