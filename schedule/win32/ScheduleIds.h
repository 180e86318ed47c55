// Resource identifiers of "Add a Schedule". Plain #defines: the resource
// compiler reads this file too.
#pragma once

#define IDD_BX_SCHEDULE 220

#define IDC_BX_SCHED_DAY_OF_WEEK 1055
#define IDC_BX_SCHED_PERIODIC 1056
// Sunday to Saturday: 1057 to 1063.
#define IDC_BX_SCHED_SUNDAY 1057
#define IDC_BX_SCHED_MONDAY 1058
#define IDC_BX_SCHED_TUESDAY 1059
#define IDC_BX_SCHED_WEDNESDAY 1060
#define IDC_BX_SCHED_THURSDAY 1061
#define IDC_BX_SCHED_FRIDAY 1062
#define IDC_BX_SCHED_SATURDAY 1063
#define IDC_BX_SCHED_PERIOD 1065
#define IDC_BX_SCHED_ENABLED 1066
#define IDC_BX_SCHED_TIME 1067
