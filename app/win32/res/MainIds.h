// Resource identifiers of the main program's own windows: the main window,
// the loading, scan settings, About and tray notice dialogs, their menus,
// bitmaps and strings. Plain #defines: the resource compiler reads this file
// too. Numbers the program's outside contract fixes are used as they are
// (app/Messages.h names the same ones for C++); the rest lie in 40000-44999.
#pragma once

// Dialogs.
#define IDD_BX_ABOUT 100
#define IDD_BX_MAIN 102
#define IDD_BX_LOADING 131
#define IDD_BX_SCAN_SETTINGS 133
#define IDD_BX_MINIMIZE_NOTICE 228

// Icon, bitmaps, menus.
#define IDI_BX_APP 128
#define IDB_BX_LOADING 129
#define IDB_BX_HEADER 134
#define IDB_BX_BACKGROUND 180
#define IDB_BX_BUTTON 40001
#define IDR_BX_MAIN_MENU 138
#define IDR_BX_ROW_MENU 224

// Strings.
#define IDS_BX_ABOUT_MENU 101
#define IDS_BX_DEFAULT_REFERENCE 102
#define IDS_BX_UPDATE_PAGE 103
#define IDS_BX_MINIMIZE_NOTICE 32796
#define IDS_BX_SETTINGS_KEY 32802
#define IDS_BX_SETTINGS_KEY_NAME 32803

// Main window, dialog 102.
#define IDC_BX_MAIN_STATUS 1038
#define IDC_BX_MAIN_LIST 1039
#define IDC_BX_MAIN_DESCRIPTION 1049
#define IDC_BX_MAIN_PROGRESS 1073
#define IDC_BX_MAIN_SCAN 1009
#define IDC_BX_MAIN_SCAN_FILES 1002
#define IDC_BX_MAIN_STOP 1041
#define IDC_BX_MAIN_UPDATE 1011
#define IDC_BX_MAIN_REMOVE 1003
#define IDC_BX_MAIN_SCANNED 1048
#define IDC_BX_MAIN_REGISTRY 1045
#define IDC_BX_MAIN_COOKIES 1046
#define IDC_BX_MAIN_FILES 1047
#define IDC_BX_MAIN_MEMORY_LABEL 1087
#define IDC_BX_MAIN_MEMORY 1044
#define IDC_BX_MAIN_TITLE 40010
#define IDC_BX_MAIN_TAGLINE 40011
#define IDC_BX_MAIN_SCANNED_LABEL 40012
#define IDC_BX_MAIN_REGISTRY_LABEL 40013
#define IDC_BX_MAIN_COOKIES_LABEL 40014
#define IDC_BX_MAIN_FILES_LABEL 40015
#define IDC_BX_MAIN_RESULTS_LABEL 40016
#define IDC_BX_MAIN_DESCRIPTION_LABEL 40017
#define IDC_BX_MAIN_COUNTERS_FRAME 40018

// Loading dialog 131.
#define IDC_BX_LOADING_TEXT 40020
#define IDC_BX_LOADING_PROGRESS 40021

// Scan settings dialog 133.
#define IDC_BX_SCAN_SMART 1002
#define IDC_BX_SCAN_FULL 1003
#define IDC_BX_SCAN_SUBFOLDERS 1004
#define IDC_BX_SCAN_ZIP 1012
#define IDC_BX_SCAN_INTRO 1077
#define IDC_BX_SCAN_WARNING 1005

// About box 100.
#define IDC_BX_ABOUT_ICON 40030
#define IDC_BX_ABOUT_TEXT 40031
#define IDC_BX_ABOUT_LINK 40032

// Tray notice 228.
#define IDC_BX_NOTICE_TEXT 40040
#define IDC_BX_NOTICE_CHECK 40041

// Main menu 138.
#define ID_BX_FILE_EXIT 32783
#define ID_BX_OPTIONS_SETTINGS 32784
#define ID_BX_OPTIONS_ACTIVEX 32795
#define ID_BX_OPTIONS_SHIELDS 32798
#define ID_BX_OPTIONS_RESTORE 32792
#define ID_BX_OPTIONS_SCHEDULE 32796
#define ID_BX_OPTIONS_SCAN_SETTINGS 32772
#define ID_BX_OPTIONS_IGNORE_LIST 32797
#define ID_BX_HELP_ABOUT 32785
#define ID_BX_HELP_HELP 32790

// Right-click menu 224.
#define ID_BX_ROW_IGNORE 32793
#define ID_BX_ROW_UNCHECK_RELATED 32794
#define ID_BX_ROW_CHECK_RELATED 32804
