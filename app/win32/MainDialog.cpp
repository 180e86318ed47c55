#include "app/win32/MainDialog.h"

#include <shellapi.h>

#include "activex/win32/ActiveXDialogs.h"
#include "app/Startup.h"
#include "app/TrayModel.h"
#include "app/win32/BackgroundPainter.h"
#include "app/win32/LoadSignaturesDialog.h"
#include "app/win32/SingleInstance.h"
#include "app/win32/dialogs/IgnoreListDialog.h"
#include "app/win32/dialogs/NotificationPopup.h"
#include "app/win32/dialogs/PreferencesDialog.h"
#include "app/win32/dialogs/RestoreDialogs.h"
#include "app/win32/dialogs/UpdateDialogs.h"
#include "app/win32/res/MainIds.h"
#include "platform/win32/WideText.h"
#include "schedule/ScheduleForm.h"
#include "settings/Strings.h"
#include "shields/places/win32/FavoritesNotify.h"
#include "shields/win32/ConfigureShieldsDialog.h"

namespace app {

using platform::win32::Widen;
namespace ids = main_dialog;

static_assert(IDD_BX_MAIN == resources::kMainDialog);
static_assert(IDR_BX_MAIN_MENU == resources::kMainMenu);
static_assert(IDR_BX_ROW_MENU == resources::kRowMenu);
static_assert(IDI_BX_APP == resources::kAppIcon);
static_assert(IDB_BX_BACKGROUND == resources::kBackgroundBitmap);
static_assert(IDB_BX_HEADER == resources::kHeaderBitmap);
static_assert(IDC_BX_MAIN_LIST == ids::kResultsList && IDC_BX_MAIN_STATUS == ids::kStatusLine);
static_assert(IDC_BX_MAIN_DESCRIPTION == ids::kDescription);
static_assert(IDC_BX_MAIN_PROGRESS == ids::kProgressBar);
static_assert(IDC_BX_MAIN_SCAN == ids::kScanMyPcButton);
static_assert(IDC_BX_MAIN_SCAN_FILES == ids::kScanFilesButton);
static_assert(IDC_BX_MAIN_STOP == ids::kStopScanButton);
static_assert(IDC_BX_MAIN_UPDATE == ids::kUpdateButton);
static_assert(IDC_BX_MAIN_REMOVE == ids::kRemoveButton);
static_assert(IDC_BX_MAIN_SCANNED == ids::kItemsScannedValue);
static_assert(IDC_BX_MAIN_REGISTRY == ids::kRegistryValue);
static_assert(IDC_BX_MAIN_COOKIES == ids::kCookiesValue);
static_assert(IDC_BX_MAIN_FILES == ids::kFilesValue);
static_assert(IDC_BX_MAIN_MEMORY_LABEL == ids::kMemoryLabel);
static_assert(IDC_BX_MAIN_MEMORY == ids::kMemoryValue);
static_assert(ID_BX_FILE_EXIT == commands::kFileExit);
static_assert(ID_BX_OPTIONS_SETTINGS == commands::kSettings);
static_assert(ID_BX_OPTIONS_ACTIVEX == commands::kActiveXShields);
static_assert(ID_BX_OPTIONS_SHIELDS == commands::kConfigureShields);
static_assert(ID_BX_OPTIONS_RESTORE == commands::kRestoreItems);
static_assert(ID_BX_OPTIONS_SCHEDULE == commands::kScanScheduling);
static_assert(ID_BX_OPTIONS_SCAN_SETTINGS == commands::kScanSettings);
static_assert(ID_BX_OPTIONS_IGNORE_LIST == commands::kIgnoreList);
static_assert(ID_BX_HELP_ABOUT == commands::kHelpAbout);
static_assert(ID_BX_HELP_HELP == commands::kHelpHelp);
static_assert(ID_BX_ROW_IGNORE == commands::kAddToIgnoreList);
static_assert(ID_BX_ROW_UNCHECK_RELATED == commands::kUncheckRelated);
static_assert(ID_BX_ROW_CHECK_RELATED == commands::kCheckRelated);
static_assert(IDS_BX_ABOUT_MENU == settings::strings::kIdsAboutBox);

namespace {

// The five command buttons, in the order of the buttons_ array.
constexpr std::array<int, 5> kButtonIds = {ids::kScanMyPcButton, ids::kScanFilesButton,
                                           ids::kStopScanButton, ids::kUpdateButton,
                                           ids::kRemoveButton};

// Texts over the dark banner.
bool OnBanner(int id) {
    switch (id) {
        case IDC_BX_MAIN_TITLE:
        case IDC_BX_MAIN_TAGLINE:
        case IDC_BX_MAIN_SCANNED_LABEL:
        case IDC_BX_MAIN_REGISTRY_LABEL:
        case IDC_BX_MAIN_COOKIES_LABEL:
        case IDC_BX_MAIN_FILES_LABEL:
        case IDC_BX_MAIN_MEMORY_LABEL:
        case ids::kItemsScannedValue:
        case ids::kRegistryValue:
        case ids::kCookiesValue:
        case ids::kFilesValue:
        case ids::kMemoryValue:
            return true;
        default:
            return false;
    }
}

bool IsBannerValue(int id) {
    return id == ids::kItemsScannedValue || id == ids::kRegistryValue || id == ids::kCookiesValue ||
           id == ids::kFilesValue || id == ids::kMemoryValue;
}

// The Reference file recovery with the real dialogs.
class DialogRecovery : public ReferenceRecovery {
  public:
    DialogRecovery(AppContext& context, HWND owner, HWND progressBar, removal::Prompts& prompts,
                   update::UpdatePrompts& updatePrompts)
        : context_(context),
          owner_(owner),
          progressBar_(progressBar),
          prompts_(prompts),
          updatePrompts_(updatePrompts) {}

    bool LoadReference() override {
        ProgressBarLoadProgress progress(progressBar_);
        return LoadConfiguredReference(settings::SettingsStore(context_.system), context_.database,
                                       &progress);
    }
    bool RunDownload() override {
        CDownloadDialog download(context_, owner_);
        download.SetUpdatePrompts(updatePrompts_);
        return download.DoModal() == IDOK;
    }
    bool RunPreferences() override {
        CPreferencesDialog preferences(context_, owner_);
        preferences.SetPrompts(prompts_);
        preferences.SetUpdatePrompts(updatePrompts_);
        return preferences.DoModal() == IDOK;
    }

  private:
    AppContext& context_;
    HWND owner_;
    HWND progressBar_;
    removal::Prompts& prompts_;
    update::UpdatePrompts& updatePrompts_;
};

}  // namespace

CMainDialog::CMainDialog(AppContext& context, LaunchOptions options, removal::Prompts& prompts,
                         update::UpdatePrompts& updatePrompts)
    : CDialog(resources::kMainDialog),
      context_(context),
      prompts_(prompts),
      updatePrompts_(updatePrompts),
      model_(context.system, prompts, options),
      schedule_(context.system, prompts),
      ownNotice_(nullptr),
      cookieDecisions_(context.system.registry),
      shieldMonitor_(context.system, shieldPopup_),
      scanContext_(context.system, context.database, *this) {}

CMainDialog::~CMainDialog() {
    StopScanAndWait();
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(background_), static_cast<HGDIOBJ>(rendered_),
                           static_cast<HGDIOBJ>(titleFont_)}) {
        if (object != nullptr)
            DeleteObject(object);
    }
    if (largeIcon_ != nullptr)
        DestroyIcon(largeIcon_);
    if (smallIcon_ != nullptr)
        DestroyIcon(smallIcon_);
}

bool CMainDialog::LoadReferenceFile(HWND progressBar) {
    HWND owner = progressBar != nullptr ? GetParent(progressBar) : hwnd();
    DialogRecovery recovery(context_, owner, progressBar, prompts_, updatePrompts_);
    // The index points into the database's records, which a load replaces,
    // whether it succeeds or not; the recovery's dialogs take messages, so a
    // launch query can arrive in between.
    realTimeFilter_.index().Rebuild({});
    const bool loaded = app::LoadReferenceFile(recovery, prompts_);
    realTimeFilter_.index().Rebuild(context_.database.executables());
    return loaded;
}

bool CMainDialog::OnInitDialog() {
    // 1. The About item of the system menu, and the icons.
    if (HMENU systemMenu = GetSystemMenu(hwnd(), FALSE)) {
        AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        std::wstring about = Widen(
            LoadResourceString(settings::strings::kIdsAboutBox, settings::strings::kAboutMenuText));
        AppendMenuW(systemMenu, MF_STRING, commands::kSystemMenuAbout, about.c_str());
    }
    largeIcon_ =
        static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_BX_APP), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    smallIcon_ = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_BX_APP), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    // 2. The launch queue, served from now on, and the filter module beside
    // the program. A queue that cannot be made (another copy serves it)
    // leaves launches unreported.
    realTimeFilter_.CreateQueue(hwnd());
    realTimeFilter_.SetModulePath(realtime::FilterModulePath(
        std::string_view(context_.modulePath).substr(0, context_.modulePath.rfind('\\') + 1)));

    // 3. The update check at start.
    settings::SettingsStore settings(context_.system);
    if (settings.IsOn("acu")) {
        CUpdateCheckDialog check(context_, hwnd());
        check.SetUpdatePrompts(updatePrompts_);
        if (check.DoModal() == IDOK) {
            CDownloadDialog download(context_, hwnd());
            download.SetUpdatePrompts(updatePrompts_);
            download.DoModal();
        }
    }

    // 4. Nothing works without a Reference file.
    CLoadSignaturesDialog loading(hwnd(), [this](HWND bar) { return LoadReferenceFile(bar); });
    if (loading.DoModal() != IDOK) {
        EndDialog(IDCANCEL);
        return false;
    }

    // 5. The shield switches, with the pages they maintain and the filter
    // module.
    ProvideShieldServices();
    shieldMonitor_.LoadShieldSettings();
    ApplyRealTimeSwitch();
    context_.anyShieldOn = shieldMonitor_.switches().AnyShieldOn();
    model_.SetAnyShieldOn(context_.anyShieldOn);

    // 6. The buttons' bitmaps and the results list.
    SetUpLook();
    BuildResultsList();

    // 7. The shields' baselines and their watcher threads.
    watchers_ = std::make_unique<shields::win32::ShieldWatchers>(context_.system.registry, hwnd());
    shieldMonitor_.StartShields(*watchers_);

    // 8. The tray icon, hidden while the window shows.
    if (!tray_)
        tray_ = MakeSystemTray([this] { return shieldMonitor_.switches(); });
    if (!tray_ || !tray_->Create(hwnd(), smallIcon_))
        return true;

    // 9. The scan schedule.
    schedule_.Arm(hwnd());

    // 10. to 13.
    CenterOnOwner(hwnd());
    SetText(kMainWindowTitle);
    model_.ReadScanType();
    // Started a second time while this copy was starting: the user asked
    // for the window, so ":Min" no longer sends it to the tray.
    const bool comeForward = TakeComeForwardRequest();
    for (const TimerRequest& timer : StartupTimers(model_.options())) {
        if (!(comeForward && timer.id == timers::kGoToTray))
            SetTimer(hwnd(), timer.id, timer.delayMs, nullptr);
    }
    return true;
}

void CMainDialog::ProvideShieldServices() {
    shields::ShieldServices& services = shieldMonitor_.services();
    // The cookie shield reads the cookie names of every entry at each
    // notice, so a Reference file loaded later counts at once.
    services.database = &context_.database;
    services.shortcuts = &shortcutResolver_;
    services.cookieDecisions = &cookieDecisions_;
    services.registerFavorites = [this] {
        shields::win32::UnregisterFavoritesNotifications(favoritesRegistration_);
        favoritesRegistration_ =
            shields::win32::RegisterFavoritesNotifications(hwnd(), WM_SHIELD_FAVORITES_CHANGED);
        return favoritesRegistration_ != 0;
    };
    services.tellUser = [this](std::string_view message) {
        prompts_.Ask(message, kMessageCaption, removal::Buttons::kOk);
    };
}

void CMainDialog::SetUpLook() {
    background_ = static_cast<HBITMAP>(LoadImageW(Instance(), MAKEINTRESOURCEW(IDB_BX_BACKGROUND),
                                                  IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    // The background at the client's size, so that painting it, and the
    // parts of it under the transparent texts, is a plain copy.
    RECT client{};
    GetClientRect(hwnd(), &client);
    HDC screen = GetDC(hwnd());
    rendered_ = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, rendered_);
    PaintBitmapStretched(memory, background_, client);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(hwnd(), screen);

    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0)), sizeof(font),
               &font);
    font.lfHeight = font.lfHeight * 2;
    font.lfWeight = FW_BOLD;
    titleFont_ = CreateFontIndirectW(&font);
    SendMessageW(Item(IDC_BX_MAIN_TITLE), WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_), FALSE);

    for (std::size_t i = 0; i < kButtonIds.size(); ++i)
        buttons_[i].Attach(Item(kButtonIds[i]), IDB_BX_BUTTON);
}

void CMainDialog::BuildResultsList() {
    list_.Attach(Item(ids::kResultsList));
    const ColumnWidths widths = ComputeColumnWidths(list_.ClientWidth());
    const std::array<int, 4> columnWidths = {widths.item, widths.location, widths.type,
                                             widths.danger};
    for (int column = 0; column < 4; ++column) {
        list_.InsertColumn(column, kColumnTitles[static_cast<std::size_t>(column)],
                           columnWidths[static_cast<std::size_t>(column)]);
    }
    if (list_.header().SetImageList(resources::kHeaderBitmap, kHeaderImageSize,
                                    static_cast<COLORREF>(kHeaderMaskColour))) {
        for (int column = 0; column < 4; ++column) {
            list_.header().SetItemImage(
                column, column == 0 ? kFirstColumnHeaderImage : kOtherColumnsHeaderImage);
        }
    }
    SendMessageW(Item(ids::kProgressBar), PBM_SETRANGE32, 0, ids::kProgressRange);
}

void CMainDialog::SetButtonState(ButtonState state) {
    for (const ButtonEnable& button : ButtonStates(state))
        EnableItem(button.controlId, button.enabled);
}

LRESULT CMainDialog::OnCtlColorStatic(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    if (id == ids::kDescription) {
        // The read-only description box stays a white page.
        SetTextColor(dc, RGB(0x10, 0x20, 0x30));
        SetBkColor(dc, RGB(0xFF, 0xFF, 0xFF));
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    PaintParentBitmapUnder(dc, control, hwnd(), rendered_);
    SetBkMode(dc, TRANSPARENT);
    if (OnBanner(id)) {
        SetTextColor(dc, IsBannerValue(id) ? RGB(0xFF, 0xFF, 0xFF) : RGB(0x9C, 0xE8, 0xE0));
        if (id == IDC_BX_MAIN_TITLE)
            SetTextColor(dc, RGB(0xFF, 0xFF, 0xFF));
    } else {
        SetTextColor(dc, RGB(0x0B, 0x1E, 0x3A));
    }
    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
}

bool CMainDialog::OnCommand(int id, int code) {
    switch (id) {
        case ids::kScanMyPcButton:
            OnScanMyPc();
            return true;
        case ids::kScanFilesButton:
            OnScanFilesFolders();
            return true;
        case ids::kStopScanButton:
            OnStopScan();
            return true;
        case ids::kUpdateButton:
            OnUpdateProtection();
            return true;
        case ids::kRemoveButton:
            OnRemoveItems();
            return true;
        case commands::kFileExit:
            OnCancel();
            return true;
        case commands::kSettings: {
            CPreferencesDialog preferences(context_, hwnd());
            preferences.SetPrompts(prompts_);
            preferences.SetUpdatePrompts(updatePrompts_);
            preferences.DoModal();
            return true;
        }
        case commands::kRestoreItems: {
            CSelectBackupDialog restore(context_, hwnd());
            restore.DoModal();
            return true;
        }
        case commands::kScanSettings: {
            CScanSettingsDialog settings(context_, hwnd());
            settings.DoModal();
            model_.ReadScanType();
            return true;
        }
        case commands::kIgnoreList: {
            CIgnoreListDialog ignoreList(context_, hwnd());
            ignoreList.SetCookieDecisions(cookieDecisions_);
            ignoreList.DoModal();
            return true;
        }
        case commands::kHelpAbout:
        case commands::kTrayAbout:
            ShowAbout();
            return true;
        case commands::kHelpHelp:
            ShellExecuteW(hwnd(), L"open", Widen(kOnlineHelpAddress).c_str(), nullptr, nullptr,
                          SW_SHOWNORMAL);
            return true;
        case commands::kActiveXShields: {
            activex::CActiveXShieldsDialog shields(context_.system, context_.database.classIds(),
                                                   hwnd());
            shields.SetPrompts(prompts_);
            shields.DoModal();
            return true;
        }
        case commands::kScanScheduling: {
            std::string nextScan;
            if (!schedule_.RunDialog(hwnd(), &nextScan))
                return true;
            if (!nextScan.empty()) {
                // The popup outlives the dialog: it slides out by itself.
                schedulePopup_ = std::make_unique<CNotificationPopup>();
                schedulePopup_->notifyMode = true;
                schedulePopup_->title = schedule::kScheduledTitle;
                schedulePopup_->message = nextScan;
                schedulePopup_->Show();
            }
            schedule_.Arm(hwnd());
            return true;
        }
        case commands::kConfigureShields:
            OnConfigureShields();
            return true;
        case commands::kTrayRepeatNotification:
            shieldMonitor_.RepeatLastNotification();
            return true;
        case commands::kAddToIgnoreList:
        case commands::kUncheckRelated:
        case commands::kCheckRelated:
            OnRowCommand(id);
            return true;
        case commands::kTrayOpen:
            RestoreFromTray();
            return true;
        case commands::kTrayExit:
            OnTrayExit();
            return true;
        default: {
            const shields::SwitchChange change = shieldMonitor_.OnTrayCommand(id);
            if (!change.handled)
                return CDialog::OnCommand(id, code);
            if (!change.tooltip.empty() && tray_)
                tray_->SetTooltip(change.tooltip);
            if (change.before.realTime != change.after.realTime)
                ApplyRealTimeSwitch();
            context_.anyShieldOn = shieldMonitor_.switches().AnyShieldOn();
            model_.SetAnyShieldOn(context_.anyShieldOn);
            return true;
        }
    }
}

void CMainDialog::OnConfigureShields() {
    shields::win32::CConfigureShieldsDialog dialog(context_.system, hwnd());
    if (dialog.DoModal() != IDOK)
        return;
    shieldMonitor_.LoadShieldSettings();
    ApplyRealTimeSwitch();
    context_.anyShieldOn = shieldMonitor_.switches().AnyShieldOn();
    model_.SetAnyShieldOn(context_.anyShieldOn);
}

void CMainDialog::ApplyRealTimeSwitch() {
    // Unloading also when nothing was loaded: a module left behind by a copy
    // of the program that ended without cleaning up goes as well.
    if (shieldMonitor_.switches().realTime)
        realTimeFilter_.Inject();
    else
        realTimeFilter_.Uninject();
}

LRESULT CMainDialog::OnExeLaunchPrompt(WPARAM caller, LPARAM executable) {
    // Going away: nobody is left to ask, so nothing is stopped.
    if (closing_ || caller == 0 || executable == 0)
        return 1;
    realtime::ExeLists lists(context_.system);
    return realtime::DecideLaunch(
        reinterpret_cast<const char*>(caller), reinterpret_cast<const char*>(executable),
        realTimeFilter_.index(), lists, [this](const std::string& question, int* dontAskAgain) {
            realTimeFilter_.SetAskingUser(true);
            const bool refused = shieldMonitor_.alerts().AuthorizeChange(
                question, shields::AlertKind::ExecutableLaunch, dontAskAgain);
            realTimeFilter_.SetAskingUser(false);
            return refused;
        });
}

void CMainDialog::ShowAbout() {
    CAboutDialog about(IsWindowVisible(hwnd()) ? hwnd() : nullptr);
    about.DoModal();
}

void CMainDialog::OnTimer(UINT_PTR id) {
    KillTimer(hwnd(), id);
    switch (OnStartupTimer(static_cast<unsigned>(id), model_.options())) {
        case StartupTimerAction::kGoToTray:
            GoToTray();
            break;
        case StartupTimerAction::kOfferUpdate:
            if (AskFirstRunUpdate(prompts_))
                OnUpdateProtection();
            break;
        case StartupTimerAction::kStartSystemScan:
            OnScanMyPc();
            break;
        case StartupTimerAction::kNone:
            break;
    }
}

void CMainDialog::GoToTray() {
    if (!tray_)
        return;
    tray_->HideWindowToTray(hwnd());
    tray_->ShowIcon();
    context_.trayIconShown = tray_->IconShown();
}

void CMainDialog::RestoreFromTray() {
    if (!tray_)
        return;
    tray_->RestoreWindowFromTray(hwnd());
    tray_->HideIcon();
    context_.trayIconShown = tray_->IconShown();
}

void CMainDialog::OnCancel() {
    if (tray_)
        context_.trayIconShown = tray_->IconShown();
    switch (model_.OnCancel(context_.trayIconShown, *notice_)) {
        case CloseAction::kEndProgram:
            EndDialog(IDCANCEL);
            break;
        case CloseAction::kGoToTray:
            GoToTray();
            break;
        case CloseAction::kNothing:
            break;
    }
}

void CMainDialog::OnTrayExit() {
    if (ConfirmTrayExit(settings::SettingsStore(context_.system), model_.anyShieldOn(), prompts_))
        EndDialog(IDCANCEL);
}

void CMainDialog::OnStartScheduledScan() {
    if (!model_.BeginScheduledScan(IsScanning()))
        return;
    if (tray_) {
        tray_->RestoreWindowFromTray(hwnd());
        tray_->RemoveIcon();
        context_.trayIconShown = tray_->IconShown();
    }
    OnScanMyPc();
}

void CMainDialog::OnUpdateProtection() {
    UpdateHooks hooks;
    hooks.clearRows = [this] { ClearRows(); };
    hooks.reload = [this] { ReloadReference(); };
    hooks.prompts = &updatePrompts_;
    RunUpdate(context_, hwnd(), hooks);
}

void CMainDialog::ReloadReference() {
    CLoadSignaturesDialog loading(hwnd(), [this](HWND bar) { return LoadReferenceFile(bar); });
    loading.DoModal();
}

void CMainDialog::StopScanAndWait() {
    closing_ = true;
    smartScan_.Stop();
    fullScan_.Stop();
    folderScan_.Stop();
    // The scan thread may be waiting in SendMessage for this thread: keep
    // taking sent messages (their handlers see closing_ and do nothing)
    // until it has ended.
    while (IsScanning() || inCallback_.load() > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void CMainDialog::OnDestroy() {
    closing_ = true;
    // The watchers may be waiting in SendMessage for this thread; their
    // notices are ignored from here on.
    if (watchers_)
        watchers_->StopAll();
    shields::win32::UnregisterFavoritesNotifications(favoritesRegistration_);
    favoritesRegistration_ = 0;
    schedule_.waiter().Cancel();
    if (realTimeFilter_.IsInjected())
        realTimeFilter_.Uninject();
    StopScanAndWait();
    smartScan_.Wait();
    fullScan_.Wait();
    folderScan_.Wait();
    // Removing the icon and its hidden window with the window they serve.
    tray_.reset();
}

bool CMainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (closing_ && ((message >= WM_SCAN_FINISHED && message <= WM_ADD_REGVALUEDATA_ITEM) ||
                     message == WM_ADD_PREFSLINE_ITEM))
        return true;
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(hwnd(), &client);
            PaintBitmapStretched(reinterpret_cast<HDC>(wParam), rendered_, client);
            result = TRUE;
            return true;
        }
        case WM_CTLCOLORSTATIC:
            result =
                OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            return true;
        case WM_DRAWITEM: {
            const auto& draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            for (ui::CBitmapButton& button : buttons_) {
                if (button.DrawItem(draw)) {
                    result = TRUE;
                    return true;
                }
            }
            return false;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == commands::kSystemMenuAbout) {
                ShowAbout();
                return true;
            }
            return false;
        case WM_TRAYNOTIFY:
            if (tray_)
                tray_->HandleTrayMessage(wParam, lParam);
            return true;
        case WM_START_SCHEDULED_SCAN:
            // A wait cancelled while its timer fired starts nothing.
            if (!schedule_.waiter().IsStale())
                OnStartScheduledScan();
            return true;
        case WM_SCAN_FINISHED:
            OnScanFinished();
            return true;
        case WM_ADD_FILE_ITEM:
        case WM_ADD_COOKIE_ITEM:
        case WM_ADD_DIRECTORY_ITEM:
        case WM_ADD_REGKEY_ITEM:
        case WM_ADD_REGVALUE_ITEM:
        case WM_ADD_REGVALUEDATA_ITEM:
        case WM_ADD_PREFSLINE_ITEM:
            AddDetection(message, wParam, lParam);
            return true;
        case WM_SHIELD_KEY_CHANGED:
        case WM_SHIELD_FAVORITES_CHANGED:
        case WM_SHIELD_HOSTS_CHANGED:
        case WM_SHIELD_COOKIES_CHANGED:
        case WM_SHIELD_STARTUP_CHANGED:
            if (!closing_)
                shieldMonitor_.OnMessage(message, wParam);
            return true;
        case WM_EXE_LAUNCH_PROMPT:
            result = OnExeLaunchPrompt(wParam, lParam);
            return true;
        default:
            break;
    }
    if (message == ui::CheckboxClickedMessage()) {
        const auto item = static_cast<std::size_t>(wParam);
        if (item < context_.rows.size())
            context_.rows.rows()[item].checked = list_.GetCheck(static_cast<int>(item));
        return true;
    }
    return false;
}

}  // namespace app
