// Resource identifiers of "Configure Shields". Plain #defines: the resource
// compiler reads this file too.
#pragma once

#define IDD_BX_CONFIGURE_SHIELDS 223

#define IDC_BX_SHIELD_COOKIES 1007
#define IDC_BX_SHIELD_STARTUP 1008
#define IDC_BX_SHIELD_FAVORITES 1068
#define IDC_BX_SHIELD_HIJACK 1069
#define IDC_BX_SHIELD_HOME_PAGE 1070
#define IDC_BX_SHIELD_HOME_PAGE_TEXT 1071
#define IDC_BX_SHIELD_HOSTS 1094
#define IDC_BX_SHIELD_REAL_TIME 1095
