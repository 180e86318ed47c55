#pragma once
// The numbers the Windows program and its threads agree on: private window
// messages of the main window, registered message names, resource and
// control identifiers, menu commands and timers. Plain numbers, so portable
// logic and its tests can name them without <windows.h>.
#include <cstdint>

namespace app {

// Private messages of the main window (the application range, WM_APP and up).
// Worker threads send them with SendMessage and wait until they are handled.
inline constexpr std::uint32_t WM_TRAYNOTIFY = 0x87C3;                // icon id / mouse message
inline constexpr std::uint32_t WM_SHIELD_KEY_CHANGED = 0x87C4;        // key id 2..5 / 0
inline constexpr std::uint32_t WM_SHIELD_FAVORITES_CHANGED = 0x87C5;  // shell data
inline constexpr std::uint32_t WM_START_SCHEDULED_SCAN = 0x87C6;
inline constexpr std::uint32_t WM_SHIELD_HOSTS_CHANGED = 0x87C7;
inline constexpr std::uint32_t WM_SHIELD_COOKIES_CHANGED = 0x87C8;
inline constexpr std::uint32_t WM_SHIELD_STARTUP_CHANGED = 0x87C9;
inline constexpr std::uint32_t WM_SCAN_FINISHED = 0x87D0;
// The six detection messages: wParam the entry, lParam the detection.
inline constexpr std::uint32_t WM_ADD_FILE_ITEM = 0x87D1;
inline constexpr std::uint32_t WM_ADD_COOKIE_ITEM = 0x87D2;
inline constexpr std::uint32_t WM_ADD_DIRECTORY_ITEM = 0x87D3;
inline constexpr std::uint32_t WM_ADD_REGKEY_ITEM = 0x87D4;
inline constexpr std::uint32_t WM_ADD_REGVALUE_ITEM = 0x87D5;
inline constexpr std::uint32_t WM_ADD_REGVALUEDATA_ITEM = 0x87D6;
// A browser preference line: wParam the entry, lParam the line.
inline constexpr std::uint32_t WM_ADD_PREFSLINE_ITEM = 0x87D8;
// Caller text / executable path; the handler returns 1 to allow, 0 to block.
inline constexpr std::uint32_t WM_EXE_LAUNCH_PROMPT = 0x87D7;

// Registered window messages (RegisterWindowMessage names).
inline constexpr const char* kMaximizeFromTrayMessage = "MAXIMIZE_FROM_SYSTEM_TRAY";
inline constexpr const char* kTaskbarCreatedMessage = "TaskbarCreated";

// Window titles by which a second instance finds the first one.
inline constexpr const char* kTrayWindowTitle = "Brindlex5";
inline constexpr const char* kMainWindowTitle = "Brindlex v5.0";
// Caption of the program's message boxes unless a dialog names another.
inline constexpr const char* kMessageCaption = "Brindlex";

// Dialogs, menus, icons and bitmaps of the resource script.
namespace resources {
inline constexpr int kPopupDialog = 1;
inline constexpr int kPopupBitmap = 2;
inline constexpr int kTrayMenu = 5;
inline constexpr int kAboutDialog = 100;
inline constexpr int kMainDialog = 102;
inline constexpr int kAppIcon = 128;
inline constexpr int kLoadingBitmap = 129;
inline constexpr int kLoadingDialog = 131;
inline constexpr int kScanSettingsDialog = 133;
inline constexpr int kHeaderBitmap = 134;
inline constexpr int kMainMenu = 138;
inline constexpr int kPreferencesDialog = 143;
inline constexpr int kBackgroundBitmap = 180;
inline constexpr int kRowMenu = 224;
inline constexpr int kMinimizeNoticeDialog = 228;
}  // namespace resources

// Controls of the main window, dialog 102.
namespace main_dialog {
inline constexpr int kStatusLine = 1038;
inline constexpr int kResultsList = 1039;
inline constexpr int kDescription = 1049;
inline constexpr int kProgressBar = 1073;
inline constexpr int kScanMyPcButton = 1009;
inline constexpr int kScanFilesButton = 1002;
inline constexpr int kStopScanButton = 1041;
inline constexpr int kUpdateButton = 1011;
inline constexpr int kRemoveButton = 1003;
inline constexpr int kItemsScannedValue = 1048;
inline constexpr int kRegistryValue = 1045;
inline constexpr int kCookiesValue = 1046;
inline constexpr int kFilesValue = 1047;
// Hidden; reset to "0" with the other counters.
inline constexpr int kMemoryLabel = 1087;
inline constexpr int kMemoryValue = 1044;
// The progress bar's range is 0 to this.
inline constexpr int kProgressRange = 20000;
}  // namespace main_dialog

// Menu commands. Menu 138 is the main window's menu, the first popup of menu
// 224 the results list's right-click menu, the first popup of menu 5 the
// tray menu.
namespace commands {
inline constexpr int kSystemMenuAbout = 16;
// Menu 138.
inline constexpr int kFileExit = 32783;
inline constexpr int kSettings = 32784;
inline constexpr int kActiveXShields = 32795;
inline constexpr int kConfigureShields = 32798;
inline constexpr int kRestoreItems = 32792;
inline constexpr int kScanScheduling = 32796;
inline constexpr int kScanSettings = 32772;
inline constexpr int kIgnoreList = 32797;
inline constexpr int kHelpAbout = 32785;
inline constexpr int kHelpHelp = 32790;
// Menu 224.
inline constexpr int kAddToIgnoreList = 32793;
inline constexpr int kUncheckRelated = 32794;
inline constexpr int kCheckRelated = 32804;
// Menu 5.
inline constexpr int kTrayOpen = 32787;
inline constexpr int kTrayAbout = 32776;
inline constexpr int kTrayAllShields = 32773;
inline constexpr int kTrayHomePageShield = 32777;
inline constexpr int kTrayHijackShield = 32779;
inline constexpr int kTrayFavoritesShield = 32780;
inline constexpr int kTrayHostsShield = 32799;
inline constexpr int kTrayRealTime = 32771;
inline constexpr int kTrayCookieShield = 32778;
inline constexpr int kTrayStartupShield = 32782;
inline constexpr int kTrayHideNotifications = 32781;
inline constexpr int kTrayRepeatNotification = 32788;
inline constexpr int kTrayExit = 32775;
}  // namespace commands

// A timer to arm with SetTimer on the window concerned.
struct TimerRequest {
    unsigned id;
    unsigned delayMs;
};

// Timers; each belongs to the window named.
namespace timers {
// Main window, armed at start-up from the launch options; each fires once.
inline constexpr unsigned kGoToTray = 2000;
inline constexpr unsigned kFirstRunUpdate = 2001;
inline constexpr unsigned kScanAtStart = 2002;
// Loading dialog 131: load the Reference file once the dialog is painted.
inline constexpr unsigned kLoadReference = 0;
inline constexpr unsigned kLoadReferenceDelayMs = 100;
// Notification popup: slide in, linger, slide out.
inline constexpr unsigned kPopupSlideIn = 1;
inline constexpr unsigned kPopupLinger = 12;
inline constexpr unsigned kPopupSlideOut = 13;
}  // namespace timers

// The tray icon's identifier; also the resource number of the tray menu.
inline constexpr unsigned kTrayIconId = 5;

}  // namespace app
