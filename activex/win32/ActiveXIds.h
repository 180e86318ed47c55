// Resource identifiers of the two ActiveX windows. Plain #defines: the
// resource compiler reads this file too.
#pragma once

#define IDD_BX_ACTIVEX_SHIELDS 225
#define IDD_BX_ACTIVEX_CONTROLS 226

// "ActiveX Shields", dialog 225.
#define IDC_BX_AX_ENABLE 1074
#define IDC_BX_AX_DISABLE 1075
#define IDC_BX_AX_CUSTOMIZE 1076
#define IDC_BX_AX_EXPLANATION 1092
#define IDC_BX_AX_COUNT 1093

// "ActiveX Controls", dialog 226.
#define IDC_BX_AX_LIST 1051
#define IDC_BX_AX_HINT 45200
#define IDC_BX_AX_PROBLEM 45201
