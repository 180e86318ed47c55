// Resource identifiers of the secondary windows. The numbers other programs
// and the main window rely on are used as they are; the rest lie in
// 45000-49999. Plain #defines: the resource compiler reads this file too.
#pragma once

// Dialog templates.
#define IDD_BX_POPUP 1
#define IDD_BX_UPDATE_CHECK 130
#define IDD_BX_IGNORED_COOKIES 136
#define IDD_BX_PREFERENCES 143
#define IDD_BX_SELECT_BACKUP 216
#define IDD_BX_BACKUP_ITEMS 217
#define IDD_BX_DOWNLOAD 227
#define IDD_BX_REMOVAL 229
#define IDD_BX_IGNORE_LIST 45000

// Bitmaps and menus.
#define IDB_BX_POPUP 2
#define IDB_BX_REMOVAL 45001
#define IDR_BX_TRAY_MENU 5

// Preferences, dialog 143.
#define IDC_BX_PREF_LOG_FOLDER 1021
#define IDC_BX_PREF_REFERENCE 1022
#define IDC_BX_PREF_BROWSE_LOG 1023
#define IDC_BX_PREF_BROWSE_REFERENCE 1024
#define IDC_BX_PREF_RUN 1025
#define IDC_BX_PREF_SCAN 1027
#define IDC_BX_PREF_SAVE_LOG 1028
#define IDC_BX_PREF_CONFIRM 1029
#define IDC_BX_PREF_CHECK_UPDATES 1030
#define IDC_BX_PREF_SCAN_LOGS 1001

// Notification popup, dialog 1.
#define IDC_BX_POPUP_CHECK 1000
#define IDC_BX_POPUP_MESSAGE 1006
#define IDC_BX_POPUP_YES 1084
#define IDC_BX_POPUP_NO 1085

// Lists of the restore and cookie dialogs.
#define IDC_BX_LIST 1051
#define IDC_BX_DELETE_BACKUP 1091
#define IDC_BX_IGNORE_CHECKED 1010
#define IDC_BX_BLOCK_CHECKED 1011

// Progress dialogs (removal 229, download 227).
#define IDC_BX_PROGRESS 1073
#define IDC_BX_PROGRESS_TEXT 1077

// Ignore list dialog.
#define IDC_BX_IGNORE_LIST 45100
#define IDC_BX_VIEW_COOKIES 45101

// Tray menu commands, the same numbers the main window handles.
#define ID_BX_TRAY_OPEN 32787
#define ID_BX_TRAY_ABOUT 32776
#define ID_BX_TRAY_ALL_SHIELDS 32773
#define ID_BX_TRAY_HOME_PAGE 32777
#define ID_BX_TRAY_HIJACK 32779
#define ID_BX_TRAY_FAVORITES 32780
#define ID_BX_TRAY_HOSTS 32799
#define ID_BX_TRAY_REAL_TIME 32771
#define ID_BX_TRAY_COOKIES 32778
#define ID_BX_TRAY_STARTUP 32782
#define ID_BX_TRAY_HIDE_NOTIFICATIONS 32781
#define ID_BX_TRAY_REPEAT 32788
#define ID_BX_TRAY_EXIT 32775
